#include "shell/Tray.h"

#include "app/View.h"

namespace {
constexpr int kTrayDoubleClick = 2;
constexpr int kTrayContextMenu = 3;
}  // namespace

void showMainWindow(Karvath& k) {
    k.view.setVisible(Window::Main, true);
    k.view.setNormalState(Window::Main);
}

bool onCloseRequested(Karvath& k) {
    k.view.setVisible(Window::Main, false);
    k.view.setTrayIcon(Window::Main, k.view.windowIcon(Window::Main), "Karvath");
    return false;
}

void onTrayEvent(Karvath& k, int action) {
    if (action == kTrayDoubleClick) {
        showMainWindow(k);
    } else if (action == kTrayContextMenu) {
        k.view.popupTrayMenu(Window::Main, 托盘菜单);
    }
}

void onTrayMenuSelected(Karvath& k, Control item) {
    if (item == 显示主菜单) {
        showMainWindow(k);
    } else if (item == 退出) {
        if (k.view.showMessage("是否退出程序?", MB_YESNO, std::string("提示:")) == MR_YES)
            k.view.destroyWindow(Window::Main);
    }
}
