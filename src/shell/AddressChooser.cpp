#include "shell/AddressChooser.h"

#include "app/View.h"
#include "platform/Platform.h"
#include "sql/LogStatus.h"

void onLocalAddressClicked(Karvath& k) { k.view.loadWindow(Window::Chooser, true); }

// Both values are exactly those that isLocalServer compares the box with.
void onHostNameChosen(Karvath& k) {
    k.view.setText(编辑框_IP, localHostName(k.os));
    k.view.destroyWindow(Window::Chooser);
}

void onLocalIpChosen(Karvath& k) {
    k.view.setText(编辑框_IP, k.os.firstIPv4());
    k.view.destroyWindow(Window::Chooser);
}
