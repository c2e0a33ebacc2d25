#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/ControlTable.h"
#include "app/Events.h"
#include "app/QtView.h"
#include "platform/Gbk.h"

// GBK bytes of a UTF-8 literal, as the logic would hold them.
inline std::string gbk(const char* utf8) { return utf8ToGbk(utf8); }

// One event as the sink received it.
struct Received {
    enum What { Created, CloseRequested, Tray, Menu, Clicked, ItemSelected, MousePressed, Tick };
    What what;
    int arg;  // the control, or the tray action code
    bool operator==(const Received&) const = default;
};

// Records every event; hooks let a test act inside a handler.
class RecordingSink : public EventSink {
public:
    std::vector<Received> events;
    bool allowClose = false;
    std::function<void()> onCreated;
    std::function<void(Control)> onClicked;
    std::function<void()> onTick;

    int count(Received::What what, int arg = -1) const {
        int n = 0;
        for (const Received& r : events) n += r.what == what && (arg < 0 || r.arg == arg);
        return n;
    }

    void created() override {
        events.push_back({Received::Created, 0});
        if (onCreated) onCreated();
    }
    bool closeRequested() override {
        events.push_back({Received::CloseRequested, 0});
        return allowClose;
    }
    void trayEvent(int action) override { events.push_back({Received::Tray, action}); }
    void menuSelected(Control item) override { events.push_back({Received::Menu, item}); }
    void clicked(Control c) override {
        events.push_back({Received::Clicked, c});
        if (onClicked) onClicked(c);
    }
    void itemSelected(Control c) override { events.push_back({Received::ItemSelected, c}); }
    void mousePressed(Control c) override { events.push_back({Received::MousePressed, c}); }
    void tick(Control timer) override {
        events.push_back({Received::Tick, timer});
        if (onTick) onTick();
    }
};

// A view with the main window loaded, as the program starts.
class AppTest : public ::testing::Test {
protected:
    void SetUp() override {
        view = std::make_unique<QtView>(*static_cast<QApplication*>(QCoreApplication::instance()));
        view->setEventSink(&sink);
        view->loadWindow(Window::Main, false);
    }
    void TearDown() override { view.reset(); }

    template <class T = QWidget>
    T* w(Control c) {
        return dynamic_cast<T*>(view->widget(c));
    }
    QWidget* mainWindow() { return view->window(Window::Main); }
    // Shows the main window and gives it the focus, as a user would find it.
    void showMain();

    RecordingSink sink;
    std::unique_ptr<QtView> view;
};

inline void AppTest::showMain() {
    view->setVisible(Window::Main, true);
    mainWindow()->activateWindow();
    QApplication::setActiveWindow(mainWindow());
    QApplication::processEvents();
}
