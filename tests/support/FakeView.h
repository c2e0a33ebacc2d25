#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "app/Events.h"
#include "app/View.h"
#include "VirtualClock.h"

// A scriptable view for logic tests. It keeps every control's state in memory,
// runs waits and the timer on a VirtualClock, and lets a test act as the user
// (clicks, choices, presses) — also from inside a wait or a message box.
class FakeView : public View {
public:
    struct ControlState {
        bool visible = true;
        bool enabled = true;
        bool checked = false;
        std::string text;
        std::vector<std::string> items;
        int selected = -1;
        std::vector<std::array<std::string, 2>> rows;
        int position = 0;
        int period = 0;
    };
    struct Message {
        std::string text;
        int buttons;
        std::string title;  // "信息：" when none was given
    };

    explicit FakeView(VirtualClock& clock);

    void setSink(EventSink* sink) { sink_ = sink; }

    // --- state, for assertions ---
    ControlState& state(Control c) { return controls_[c]; }
    const std::vector<Message>& messages() const { return messages_; }
    std::vector<std::string> messageTexts() const;
    bool windowVisible(Window w) const { return windows_.at(w).visible; }
    bool windowExists(Window w) const { return windows_.at(w).exists; }
    bool windowEnabled(Window w) const { return windows_.at(w).enabled; }
    bool normalStateSet(Window w) const { return windows_.at(w).normalStateCalls > 0; }
    int trayIconsShown() const { return trayIcon_.has_value() ? 1 : 0; }
    const std::optional<std::pair<IconData, std::string>>& trayIcon() const { return trayIcon_; }
    int trayMenuPopups() const { return trayMenuPopups_; }
    bool finished() const { return finished_; }
    // Every wait's length in ms, in order.
    const std::vector<int>& waits() const { return waits_; }

    // --- scripting ---
    // Answers for the next message boxes, in order; without one a box answers
    // OK (buttons 0) or No (buttons 4).
    void answerMessages(std::vector<MessageResult> answers);
    // Runs inside the next message box, before it is answered.
    void duringNextMessage(std::function<void()> action);
    // Runs inside the next modal window; the window is closed afterwards if the
    // action left it open.
    void duringNextModal(std::function<void()> action);
    // Runs at the given virtual time, while events are being delivered.
    void at(std::int64_t ms, std::function<void()> action);
    // The tray menu entry chosen in the next popupTrayMenu, if any.
    void chooseInNextTrayMenu(Control item);

    // --- acting as the user (each raises the wired event if the control can) ---
    void click(Control c);                    // buttons; check boxes toggle first
    void choose(Control combo, int index);    // a final choice in a combo box list
    void type(Control edit, const std::string& text);  // replaces the text as typed
    void press(Control label);                // left button on a transparent label
    void tray(int action);
    void requestClose();                      // close button of the main window
    bool lastCloseAnswer() const { return lastCloseAnswer_; }
    // Runs the event loop on virtual time for ms milliseconds (timer ticks,
    // scheduled actions), as if no handler were running.
    void runFor(std::int64_t ms);

    // --- View ---
    void setVisible(Control c, bool visible) override;
    void setVisible(Window w, bool visible) override;
    void setEnabled(Control c, bool enabled) override;
    std::string getText(Control c) override;
    void setText(Control c, const std::string& text) override;
    void appendText(Control c, const std::string& text) override;
    bool isChecked(Control c) override;
    void setChecked(Control c, bool checked) override;
    int currentIndex(Control c) override;
    std::string itemText(Control c, int index) override;
    void clearItems(Control c) override;
    int addItem(Control c, const std::string& text) override;
    int selectByText(Control c, const std::string& prefix) override;
    void clearRows(Control c) override;
    int insertRow(Control c) override;
    void setCellText(Control c, int row, int column, const std::string& text) override;
    int getPosition(Control c) override;
    void setPosition(Control c, int position) override;
    void setPeriod(Control timer, int milliseconds) override;
    void setNormalState(Window w) override;
    IconData windowIcon(Window w) override;
    void setTrayIcon(Window w, const IconData& icon, const std::string& tip) override;
    void popupTrayMenu(Window w, Control menu) override;
    MessageResult showMessage(const std::string& text, int buttons,
                              const std::optional<std::string>& title) override;
    void loadWindow(Window w, bool modal) override;
    void destroyWindow(Window w) override;
    void waitProcessingEvents(int milliseconds) override;

    // Positions the progress bar took, in order (every setPosition).
    const std::vector<int>& positions() const { return positions_; }

private:
    struct WindowState {
        bool exists = false;
        bool visible = false;
        bool enabled = true;
        bool destroyPending = false;
        int normalStateCalls = 0;
    };
    struct Scheduled {
        std::int64_t at;
        std::function<void()> action;
    };

    bool canRaise(Control c) const;
    void deliverUntil(std::int64_t endMs);
    void applyPendingDestroys();
    template <typename F>
    void asUser(F&& raise);

    VirtualClock& clock_;
    EventSink* sink_ = nullptr;
    std::map<Control, ControlState> controls_;
    std::map<Window, WindowState> windows_;
    std::vector<Message> messages_;
    std::vector<MessageResult> answers_;
    std::function<void()> duringMessage_;
    std::function<void()> duringModal_;
    std::vector<Scheduled> scheduled_;
    std::optional<Control> trayChoice_;
    std::optional<std::pair<IconData, std::string>> trayIcon_;
    int trayMenuPopups_ = 0;
    std::int64_t nextTick_ = -1;
    std::vector<int> waits_;
    std::vector<int> positions_;
    bool finished_ = false;
    bool lastCloseAnswer_ = true;
    int depth_ = 0;
};
