#pragma once

#include "app/Controls.h"

// The events the program handles, as the toolkit side delivers them to the
// logic. Every other event of every window and control has no handler.
class EventSink {
public:
    virtual ~EventSink() = default;

    virtual void created() = 0;             // main window, once, after its controls exist
    virtual bool closeRequested() = 0;      // main window; true lets it close
    virtual void trayEvent(int action) = 0; // 1 left released, 2 left double-click, 3 right / menu key
    virtual void menuSelected(Control item) = 0;  // 显示主菜单, 退出
    virtual void clicked(Control c) = 0;    // buttons and check boxes (a check box has toggled first)
    virtual void itemSelected(Control c) = 0;     // a user's final choice in a combo box
    virtual void mousePressed(Control c) = 0;     // left button on a transparent label
    virtual void tick(Control timer) = 0;   // 时钟1
};
