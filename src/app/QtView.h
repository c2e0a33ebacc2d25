#pragma once

#include <QObject>
#include <QPointer>
#include <array>
#include <memory>

#include "app/Events.h"
#include "app/View.h"

class QApplication;
class QAction;
class QEventLoop;
class QSystemTrayIcon;
class QTimer;
class QWidget;
class TopWindow;

// The program's windows on Qt Widgets, and the View operations on them.
//
// Entry, in main():
//
//     QApplication app(argc, argv);
//     QtView view(app);
//     view.setEventSink(&sink);            // the logic's handlers
//     view.loadWindow(Window::Main, false);  // builds it hidden, runs sink.created()
//     return view.runEventLoop();          // until the last window is destroyed
//
// Every event of Events.h reaches the sink on the GUI thread; nothing the View
// operations do raises one. Texts cross as GBK bytes both ways.
//
// Choices this implementation makes:
// - selectByText with the empty text selects nothing and gives -1.
// - getText of 编辑框_log gives back exactly the bytes set and appended; the
//   box shows their "\r\n" (or a lone "\r") as one line break.
// - A tray menu choice reaches menuSelected after popupTrayMenu has returned,
//   once the handler that opened the menu has ended (or inside its next wait).
// - Where the tray back end reports a double-click as Trigger, DoubleClick
//   (X11), the release that ends it is added as one more 1, as on Windows.
// - Timer ticks are posted, so a wait inside one tick's handler delivers the
//   next; at most one tick waits, and stopping or changing the period drops it.
// - A window destroyed while one of its own handlers still runs is hidden and
//   cut off from the sink at once and freed once control is back in the loop.
// - While the chooser is open the main window is disabled: it takes neither
//   input nor close requests.
class QtView : public QObject, public View {
public:
    explicit QtView(QApplication& app);
    ~QtView() override;

    void setEventSink(EventSink* sink) { sink_ = sink; }

    // Runs the event loop while a window exists; returns 0 at once when none
    // does, otherwise when the last window has been destroyed.
    int runEventLoop();

    bool windowExists(Window w) const;
    // The widget of a control or window, for tests and accessibility tools;
    // nullptr when its window does not exist.
    QWidget* widget(Control c) const;
    QWidget* window(Window w) const;
    QAction* action(Control item) const;
    QSystemTrayIcon* trayIcon(Window w) const;

    // View
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
    MessageResult showMessage(const std::string& text, int buttons = MB_OK,
                              const std::optional<std::string>& title = std::nullopt) override;
    void loadWindow(Window w, bool modal) override;
    void destroyWindow(Window w) override;
    void waitProcessingEvents(int milliseconds) override;

private:
    struct WindowState {
        std::unique_ptr<TopWindow> widget;
        std::unique_ptr<QSystemTrayIcon> tray;
        QEventLoop* modalLoop = nullptr;
        bool destroyPending = false;
    };

    std::unique_ptr<TopWindow> buildWindow(Window w);
    QWidget* createControl(Control c, QWidget* parent);
    void wire(Control c, QWidget* widget);
    void destroyNow(Window w);
    void deliverTick(unsigned generation);
    void onTrayActivated(int reason);
    WindowState& state(Window w) { return windows_[static_cast<std::size_t>(w)]; }
    const WindowState& state(Window w) const { return windows_[static_cast<std::size_t>(w)]; }

    QApplication& app_;
    EventSink* sink_ = nullptr;
    std::array<WindowState, 2> windows_;
    std::array<QPointer<QWidget>, ControlCount> widgets_{};
    std::array<QPointer<QAction>, ControlCount> actions_{};
    // The multi-line boxes keep the exact bytes the program gave them; the
    // widget shows them with line breaks made for Qt.
    std::array<std::string, ControlCount> logBytes_{};

    QTimer* timer_ = nullptr;  // 时钟1
    int period_ = 0;
    unsigned tickGeneration_ = 0;
    bool tickPending_ = false;
    bool overdueTaken_ = false;  // the timer's overdue timeout was delivered already

    QEventLoop* mainLoop_ = nullptr;
};
