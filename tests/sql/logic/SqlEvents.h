#pragma once

#include <map>
#include <string>
#include <vector>

#include "FakeView.h"
#include "app/Events.h"
#include "core/Karvath.h"
#include "sql/Cleanup.h"
#include "sql/Connect.h"
#include "sql/LogStatus.h"

// Keeps every text set on a control, in order.
class RecordingView : public FakeView {
public:
    using FakeView::FakeView;
    void setText(Control c, const std::string& text) override {
        texts[c].push_back(text);
        FakeView::setText(c, text);
    }
    std::map<Control, std::vector<std::string>> texts;
};

// Routes the events of the connect, catalogue and cleanup handlers.
class SqlEvents : public EventSink {
public:
    explicit SqlEvents(Karvath& k) : k_(k) {}
    void created() override {}
    bool closeRequested() override { return false; }
    void trayEvent(int) override {}
    void menuSelected(Control) override {}
    void clicked(Control c) override {
        if (c == 按钮_连接) onConnectClicked(k_);
        if (c == 按钮_一键清理) runCleanup(k_);
    }
    void itemSelected(Control c) override {
        if (c == 组合框_库名) onDatabaseChosen(k_);
    }
    void mousePressed(Control c) override {
        if (c == 透明标签_log状态) onLogStatusLabelPressed(k_);
    }
    void tick(Control) override {}

private:
    Karvath& k_;
};
