#pragma once

#include "app/Controls.h"
#include "core/Karvath.h"

// Makes the main window visible in its normal state and brings it up.
void showMainWindow(Karvath& k);
// Closing only hides the window; the tray icon stays. Always answers no.
bool onCloseRequested(Karvath& k);
// 1 left button released, 2 double-click, 3 right button or the menu key.
void onTrayEvent(Karvath& k, int action);
// 显示主菜单 or 退出 chosen in the tray menu.
void onTrayMenuSelected(Karvath& k, Control item);
