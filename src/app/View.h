#pragma once

#include <optional>
#include <string>

#include "app/Controls.h"

// Buttons of a message box, as the logic passes them.
enum MessageButtons { MB_OK = 0, MB_YESNO = 4 };

// The code a message box returns.
enum MessageResult { MR_OK = 0, MR_CANCEL = 1, MR_ABORT = 2, MR_RETRY = 3, MR_IGNORE = 4, MR_YES = 5, MR_NO = 6 };

// Icon image data in the icon file format.
using IconData = std::string;

// What the logic can do to the windows. Texts are GBK bytes both ways.
// No operation here ever raises one of the wired events.
class View {
public:
    virtual ~View() = default;

    virtual void setVisible(Control c, bool visible) = 0;
    virtual void setVisible(Window w, bool visible) = 0;
    virtual void setEnabled(Control c, bool enabled) = 0;
    virtual std::string getText(Control c) = 0;
    virtual void setText(Control c, const std::string& text) = 0;
    virtual void appendText(Control c, const std::string& text) = 0;
    virtual bool isChecked(Control c) = 0;
    virtual void setChecked(Control c, bool checked) = 0;

    // Combo boxes.
    virtual int currentIndex(Control c) = 0;                       // -1 when nothing is selected
    virtual std::string itemText(Control c, int index) = 0;        // empty when out of range
    virtual void clearItems(Control c) = 0;
    virtual int addItem(Control c, const std::string& text) = 0;   // index, or -1
    // The first item whose text begins with the prefix, ASCII letters compared
    // without regard to case; -1 and no change when none does or the prefix is empty.
    virtual int selectByText(Control c, const std::string& prefix) = 0;

    // The list view.
    virtual void clearRows(Control c) = 0;
    virtual int insertRow(Control c) = 0;  // index of the appended row, or -1
    virtual void setCellText(Control c, int row, int column, const std::string& text) = 0;

    // The progress bar (0..100) and the timer.
    virtual int getPosition(Control c) = 0;
    virtual void setPosition(Control c, int position) = 0;
    virtual void setPeriod(Control timer, int milliseconds) = 0;

    // Windows and desktop.
    virtual void setNormalState(Window w) = 0;
    virtual IconData windowIcon(Window w) = 0;
    virtual void setTrayIcon(Window w, const IconData& icon, const std::string& tip) = 0;
    virtual void popupTrayMenu(Window w, Control menu) = 0;
    // Without a title the box is titled "信息：".
    virtual MessageResult showMessage(const std::string& text, int buttons = MB_OK,
                                      const std::optional<std::string>& title = std::nullopt) = 0;
    virtual void loadWindow(Window w, bool modal) = 0;
    virtual void destroyWindow(Window w) = 0;
    virtual void waitProcessingEvents(int milliseconds) = 0;
};
