#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "FakePlatform.h"
#include "FakeSession.h"
#include "FakeView.h"
#include "SqlEvents.h"
#include "VirtualClock.h"
#include "app/Events.h"
#include "core/AppState.h"
#include "core/Karvath.h"
#include "core/Paths.h"
#include "core/Settings.h"
#include "sql/Cleanup.h"
#include "sql/Connect.h"
#include "sql/LogStatus.h"

// Runs a test's action after each statement that succeeded, e.g. a shrink.
class ScriptedSession : public FakeSession {
public:
    bool executeStatement(const std::string& sql) override {
        const bool ran = FakeSession::executeStatement(sql);
        if (ran && afterStatement) afterStatement(sql);
        return ran;
    }
    // The log row's size in pages of one database set by setDatabases.
    void setLogPages(const std::string& database, int pages) {
        answers[fileQuery(database)].rows.at(1).at(4) = integer(pages);
    }
    std::function<void(const std::string&)> afterStatement;
};

// The main window loaded, on virtual time, with a scripted server.
class SqlLogicTest : public ::testing::Test {
protected:
    SqlLogicTest() {
        view.setSink(&events);
        view.loadWindow(Window::Main, false);
        view.setVisible(Window::Main, true);
    }

    // A connected session to a server named `address`, as the connect workflow leaves it.
    void connectedTo(const std::string& address) {
        view.state(编辑框_IP).text = address;
        state.serverAddress = address;
        state.userName = "sa";
        state.password = "pw";
        db.openConnection(address, "sa", "pw", "master");
        for (Control c : {按钮_一键清理, 组合框_库名, 透明标签_log状态, 选择框1})
            view.setEnabled(c, true);
    }
    // The chooser filled and the database chosen, as the user leaves it.
    void chosen(const std::string& database) {
        fillDatabaseList(k);
        auto& items = view.state(组合框_库名).items;
        for (std::size_t i = 0; i < items.size(); ++i)
            if (items[i] == database) view.choose(组合框_库名, static_cast<int>(i));
    }
    std::string setting(const std::string& key) {
        return readSetting(os, settingsPath(k.runDirectory), "配置", key);
    }
    const std::vector<std::array<std::string, 2>>& rows() { return view.state(超级列表框1).rows; }

    VirtualClock clock;
    RecordingView view{clock};
    FakePlatform os{clock};
    ScriptedSession db;
    AppState state;
    Karvath k{state, view, os, db, "/opt/karvath", "karvath"};
    SqlEvents events{k};
};
