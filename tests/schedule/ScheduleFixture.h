#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "FakePlatform.h"
#include "FakeSession.h"
#include "FakeView.h"
#include "VirtualClock.h"
#include "app/Events.h"
#include "core/AppState.h"
#include "core/Karvath.h"
#include "core/Paths.h"
#include "core/Settings.h"
#include "schedule/Monitor.h"
#include "schedule/ScheduleEditor.h"
#include "schedule/SchedulerTick.h"

// One journal of what the handlers do to the view, the files and the session,
// in the order they do it.
struct Journal {
    std::vector<std::string> entries;
    void add(std::string e) { entries.push_back(std::move(e)); }
};

inline std::string enabled(Control c, bool on) {
    return std::string(on ? "enable " : "disable ") + std::to_string(c);
}
inline std::string shown(Control c, bool on) {
    return std::string(on ? "show " : "hide ") + std::to_string(c);
}

class JournalView : public FakeView {
public:
    JournalView(VirtualClock& clock, Journal& journal) : FakeView(clock), journal_(journal) {}

    std::vector<Control> reads;  // every getText, in order

    using FakeView::setVisible;
    void setVisible(Control c, bool visible) override {
        journal_.add(shown(c, visible));
        FakeView::setVisible(c, visible);
    }
    void setEnabled(Control c, bool on) override {
        journal_.add(enabled(c, on));
        FakeView::setEnabled(c, on);
    }
    void setChecked(Control c, bool checked) override {
        journal_.add((checked ? "check " : "uncheck ") + std::to_string(c));
        FakeView::setChecked(c, checked);
    }
    void setText(Control c, const std::string& text) override {
        journal_.add("text " + std::to_string(c) + " " + text);
        FakeView::setText(c, text);
    }
    void clearRows(Control c) override {
        journal_.add("clear " + std::to_string(c));
        FakeView::clearRows(c);
    }
    void setPeriod(Control c, int ms) override {
        journal_.add("period " + std::to_string(ms));
        FakeView::setPeriod(c, ms);
    }
    std::string getText(Control c) override {
        reads.push_back(c);
        return FakeView::getText(c);
    }

private:
    Journal& journal_;
};

class JournalPlatform : public FakePlatform {
public:
    JournalPlatform(VirtualClock& clock, Journal& journal)
        : FakePlatform(clock), journal_(journal) {}

    // Every exclusive write attempt: path and bytes.
    std::vector<std::pair<std::string, std::string>> exclusiveWrites;

    bool replaceFile(const std::string& path, const std::string& bytes) override {
        journal_.add("replace " + path);
        return FakePlatform::replaceFile(path, bytes);
    }
    bool writeFileExclusive(const std::string& path, const std::string& bytes) override {
        journal_.add("exclusive " + path);
        exclusiveWrites.emplace_back(path, bytes);
        return FakePlatform::writeFileExclusive(path, bytes);
    }

private:
    Journal& journal_;
};

class JournalSession : public FakeSession {
public:
    explicit JournalSession(Journal& journal) : journal_(journal) {}
    void closeConnection() override {
        journal_.add("close");
        FakeSession::closeConnection();
    }

private:
    Journal& journal_;
};

// Delivers the wired events of the schedule controls to their handlers, as
// the shell does.
class ScheduleSink : public EventSink {
public:
    explicit ScheduleSink(Karvath& k) : k_(k) {}
    void created() override {}
    bool closeRequested() override { return false; }
    void trayEvent(int) override {}
    void menuSelected(Control) override {}
    void clicked(Control c) override {
        if (c == 选择框_每月 || c == 选择框_每周 || c == 选择框_每天) onModeBoxClicked(k_, c);
        if (c == 按钮_确定) onConfirmClicked(k_);
        if (c == 选择框1) setUnattendedMode(k_);
    }
    void itemSelected(Control) override {}
    void mousePressed(Control) override {}
    void tick(Control) override { scheduleTick(k_); }

private:
    Karvath& k_;
};

class ScheduleFixture : public ::testing::Test {
protected:
    ScheduleFixture() {
        view.setSink(&sink);
        view.loadWindow(Window::Main, false);
        journal.entries.clear();
    }

    std::string settingsFile() const { return settingsPath(k.runDirectory); }
    std::string logFile() const { return activityLogPath(k.runDirectory); }
    std::string setting(const std::string& section, const std::string& key) {
        return readSetting(os, settingsFile(), section, key);
    }
    std::string schedule(const std::string& key) { return setting("定时配置", key); }
    std::string activityLog() { return view.state(编辑框_log).text; }
    // How many size lines the activity log holds: one per monitorCheck below 1 GB.
    int sizeLines() {
        const std::string marker = "检测到日志大小";
        int n = 0;
        const std::string log = activityLog();
        for (auto at = log.find(marker); at != std::string::npos; at = log.find(marker, at + 1))
            ++n;
        return n;
    }

    // A remote server with one database "shop" of 62 pages (0.5 MB): a check
    // writes one KB line and never cleans.
    void connectRemote(int pages = 62) {
        view.state(编辑框_IP).text = "10.0.0.5";
        db.setDatabases({{"shop", "D:\\Data\\shop_log.ldf", pages}});
        db.openConnection("10.0.0.5", "sa", "pw", "master");
        state.selectedDatabase = "shop";
    }
    // This machine's server; the log file of "shop" measures `bytes` (none: missing).
    void connectLocal(std::int64_t bytes = -1) {
        view.state(编辑框_IP).text = os.ipv4;
        db.setDatabases({{"shop", "D:\\Data\\shop_log.ldf", 0}});
        db.openConnection(os.ipv4, "sa", "pw", "master");
        if (bytes >= 0) os.sizes["D:\\Data\\shop_log.ldf"] = bytes;
        state.selectedDatabase = "shop";
    }
    // The chooser holds and shows "shop", as after a connect and a choice.
    void chooseShop() {
        view.state(组合框_库名).items = {"shop"};
        view.state(组合框_库名).selected = 0;
        view.state(组合框_库名).text = "shop";
    }

    Journal journal;
    VirtualClock clock;
    JournalView view{clock, journal};
    JournalPlatform os{clock, journal};
    JournalSession db{journal};
    AppState state;
    Karvath k{state, view, os, db, "/opt/karvath", "karvath"};
    ScheduleSink sink{k};
};
