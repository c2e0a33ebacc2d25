// The connect workflow, the listings and the cleanup through the real ODBC
// session, unixODBC and FreeTDS, against the stand-in on loopback. Waits run on
// virtual time; the server and the log files on disk are real.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "SqlEvents.h"
#include "StandinFixture.h"
#include "VirtualClock.h"
#include "core/AppState.h"
#include "core/Paths.h"
#include "core/Settings.h"
#include "sql/OdbcSession.h"

namespace {

namespace fs = std::filesystem;
using karvath::standin::Database;
using karvath::standin::Recovery;
using karvath::standin::State;
using karvath::standin::StatementFault;
using Row = std::array<std::string, 2>;
using Rows = std::vector<Row>;
using Texts = std::vector<std::string>;

// This file's narrow literals are GBK; the stand-in keeps its names in UTF-8.
std::string utf8(const char8_t* s) { return reinterpret_cast<const char*>(s); }

const std::string kInjection = "a]b; DROP DATABASE x--";

// The user databases, after master, tempdb, model and msdb. Logs with a real
// file live in the test's directory as sparse files.
State serverState(const std::string& dataDir) {
    State s = State::withSystemDatabases();
    s.dataDir = dataDir;
    auto realLog = [](Database& db, const std::string& file, std::int64_t pages,
                      std::int64_t minPages, std::int64_t activePages) {
        db.files[1].realFile = file;
        db.files[1].sizePages = pages;
        db.files[1].minPages = minPages;
        db.files[1].activePages = activePages;
    };
    realLog(s.addDatabase("Shop", Recovery::BulkLogged), "Shop_Log.LDF", 131072, 16, 1024);
    realLog(s.addDatabase(utf8(u8"销售库")), utf8(u8"销售库_log.ldf"), 128, 8, 8);
    realLog(s.addDatabase("O'Brien", Recovery::Simple), "OBrien_log.ldf", 64, 8, 8);
    realLog(s.addDatabase(kInjection), "ab_log.ldf", 256, 8, 8);
    s.addDatabase("x").files[1].sizePages = 124;
    s.addDatabase("select").files[1].sizePages = 124;
    return s;
}

class EndToEnd : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(standin.started()) << standin.server().lastError();
        view.setSink(&events);
        view.loadWindow(Window::Main, false);
    }

    // Connects as the user does; a local server when this machine's first
    // address is set to the text in the box.
    void connect(bool local) {
        if (local) platform.ipv4 = standin.serverText();
        view.type(编辑框_IP, standin.serverText());
        view.type(编辑框_用户名, Standin::kLogin);
        view.type(编辑框_密码, Standin::kPassword);
        view.click(按钮_连接);
        ASSERT_EQ(view.messageTexts().back(), "连接成功");
    }
    void choose(const std::string& gbkName) {
        const auto& items = view.state(组合框_库名).items;
        for (std::size_t i = 0; i < items.size(); ++i)
            if (items[i] == gbkName) view.choose(组合框_库名, static_cast<int>(i));
        ASSERT_EQ(state.selectedDatabase, gbkName);
    }
    // What the server received besides queries: the statements of cleanups.
    Texts statementsReceived() {
        Texts out;
        for (const std::string& sql : standin.server().statementTexts())
            for (const char* start : {"ALTER DATABASE", "USE ", "DBCC"})
                if (sql.rfind(start, 0) == 0) out.push_back(sql);
        return out;
    }
    std::int64_t bytesOnDisk(const std::string& utf8Name) {
        return static_cast<std::int64_t>(fs::file_size(platform.directory() + "/" + utf8Name));
    }
    Rows userRows() {
        const Rows& all = view.state(超级列表框1).rows;
        return all.size() > 4 ? Rows(all.begin() + 4, all.end()) : Rows{};
    }
    std::string log() { return view.state(编辑框_log).text; }

    TestPlatform platform;
    Standin standin{serverState(platform.directory())};
    VirtualClock clock;
    RecordingView view{clock};
    OdbcSession session{platform};
    AppState state;
    Karvath k{state, view, platform, session, platform.directory(), "karvath"};
    SqlEvents events{k};
};

TEST_F(EndToEnd, ConnectLogsInTwiceListsTheCatalogueAndSavesTheLogin) {
    connect(false);

    const auto logins = standin.server().logins();
    ASSERT_EQ(logins.size(), 2u);
    for (const auto& login : logins) {
        EXPECT_TRUE(login.accepted);
        EXPECT_EQ(login.user, "sa");
        EXPECT_EQ(login.password, Standin::kPassword);
        EXPECT_EQ(login.database, "master");
    }
    const Texts received = standin.server().statementTexts();
    for (const std::string& sql :
         {std::string("SELECT count(NAME) FROM MASTER.DBO.SYSDATABASES"),
          std::string("SELECT NAME FROM MASTER.DBO.SYSDATABASES"),
          std::string("SELECT count(name) FROM master.dbo.sysdatabases"),
          std::string("SELECT Name FROM Master..SysDatabases"),
          utf8(u8"select database_id,name,physical_name AS CurrentLocation,state_desc,size from "
               u8"sys.master_files where database_id=db_id(N'销售库');"),
          std::string("select database_id,name,physical_name AS CurrentLocation,state_desc,size "
                      "from sys.master_files where database_id=db_id(N'O''Brien');")})
        EXPECT_NE(std::find(received.begin(), received.end(), sql), received.end()) << sql;

    EXPECT_EQ(userRows(), (Rows{{"shop_log", "1.06 GB"},
                                {"销售库_log", "1.03 MB"},
                                {"obrien_log", "516.13 KB"},
                                {"ab_log", "2.06 MB"},
                                {"x_log", "1000 KB"},  // 124 pages: 1 MB is below 1.024
                                {"select_log", "1000 KB"}}));
    EXPECT_EQ(view.state(组合框_库名).items,
              (Texts{"master", "tempdb", "model", "msdb", "Shop", "销售库", "O'Brien", kInjection,
                     "x", "select"}));

    const std::string settings = settingsPath(platform.directory());
    EXPECT_EQ(readSetting(platform, settings, "配置", "ip"), standin.serverText());
    EXPECT_EQ(readSetting(platform, settings, "配置", "用户名"), "sa");
    EXPECT_EQ(readSetting(platform, settings, "配置", "密码"), Standin::kPassword);
    EXPECT_EQ(readSetting(platform, settings, "配置", "是否挂机"), "否");
    EXPECT_EQ(fs::status(settings).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_EQ(view.state(按钮_连接).text, "已连接");
}

TEST_F(EndToEnd, AWrongPasswordFailsAndLeavesNothingBehind) {
    view.type(编辑框_IP, standin.serverText());
    view.type(编辑框_用户名, "sa");
    view.type(编辑框_密码, "wrong");
    view.click(按钮_连接);
    EXPECT_EQ(view.messageTexts(), (Texts{"连接失败"}));
    EXPECT_EQ(view.state(按钮_连接).text, "连接");
    EXPECT_TRUE(view.state(按钮_连接).enabled);
    EXPECT_FALSE(fs::exists(settingsPath(platform.directory())));
    EXPECT_TRUE(view.state(超级列表框1).rows.empty());
}

TEST_F(EndToEnd, ALocalServerIsMeasuredOnTheRealFiles) {
    connect(true);
    // System databases report paths that do not exist here: "0 KB".
    EXPECT_EQ(view.state(超级列表框1).rows[0], (Row{"master_log", "0 KB"}));
    EXPECT_EQ(userRows(), (Rows{{"shop_log", "1.048576 GB"},
                                {"销售库_log", "1.024 MB"},
                                {"obrien_log", "512 KB"},
                                {"ab_log", "2.048 MB"},
                                {"x_log", "0 KB"},
                                {"select_log", "0 KB"}}));
    EXPECT_EQ(measureLocalLogSize(k, "销售库"), 1024.0f);
    EXPECT_EQ(state.logFilePath, platform.directory() + "/销售库_log.ldf");
    EXPECT_EQ(measureRemoteLogSize(k, "O'Brien"), static_cast<float>(64 / 124.0));
}

TEST_F(EndToEnd, CleanupTruncatesTheLogAndLeavesFullRecovery) {
    connect(true);
    choose("Shop");
    standin.server().clearRecords();
    view.click(按钮_一键清理);

    EXPECT_EQ(statementsReceived(), (Texts{"ALTER DATABASE Shop SET RECOVERY SIMPLE ", "USE Shop",
                                           "DBCC SHRINKFILE (N'Shop_log' , 0, TRUNCATEONLY)",
                                           "ALTER DATABASE Shop SET RECOVERY FULL"}));
    EXPECT_EQ(bytesOnDisk("Shop_Log.LDF"), 16 * 8192);
    EXPECT_EQ(standin.server().recovery("Shop"), Recovery::Full);  // bulk-logged before
    EXPECT_EQ(standin.server().logins().size(), 1u);               // the refresh reopened on master
    EXPECT_EQ(standin.server().logins()[0].database, "master");
    EXPECT_EQ(userRows()[0], (Row{"shop_log", "128 KB"}));
    EXPECT_EQ(view.positions(), (std::vector<int>{0, 10, 30, 50, 70, 100}));
    // 1048576 KB before, 128 KB after.
    EXPECT_TRUE(log().ends_with("  Shop清理完毕，共释放了1048.448MB\r\n")) << log();
    EXPECT_EQ(log().find("\r\n"), log().size() - 2);
}

TEST_F(EndToEnd, ARefusedRecoveryChangeDoesNotStopTheOtherStatements) {
    standin.server().addStatementFault(
        {StatementFault::Action::PermissionError, "SET RECOVERY SIMPLE", false, 0, 5011, "", 1});
    connect(true);
    choose("Shop");
    standin.server().clearRecords();
    view.click(按钮_一键清理);

    EXPECT_EQ(statementsReceived().size(), 4u);
    EXPECT_EQ(statementsReceived().back(), "ALTER DATABASE Shop SET RECOVERY FULL");
    // Still bulk-logged while it shrank: the active part of the log stayed.
    EXPECT_EQ(bytesOnDisk("Shop_Log.LDF"), 1024 * 8192);
    EXPECT_EQ(standin.server().recovery("Shop"), Recovery::Full);
    EXPECT_TRUE(log().ends_with("  Shop清理完毕，共释放了1040.384MB\r\n")) << log();
}

struct QuotedCase {
    std::string gbkName;
    std::string utf8Name;
    std::string file;
};

class QuotedNames : public EndToEnd, public ::testing::WithParamInterface<QuotedCase> {};

TEST_P(QuotedNames, AreCleanedAndNothingElseChanges) {
    connect(true);
    choose(GetParam().gbkName);
    view.click(按钮_一键清理);

    EXPECT_EQ(bytesOnDisk(GetParam().file), 8 * 8192);
    EXPECT_EQ(standin.server().recovery(GetParam().utf8Name), Recovery::Full);
    const State after = standin.server().snapshot();
    EXPECT_EQ(after.databases.size(), 10u);
    EXPECT_NE(after.findDatabase("x"), nullptr);
    EXPECT_EQ(standin.server().recovery("master"), Recovery::Simple);
    EXPECT_EQ(bytesOnDisk("Shop_Log.LDF"), 131072 * 8192LL);
    EXPECT_NE(log().find(GetParam().gbkName + "清理完毕，共释放了"), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(Cases, QuotedNames,
                         ::testing::Values(QuotedCase{kInjection, kInjection, "ab_log.ldf"},
                                           QuotedCase{"O'Brien", "O'Brien", "OBrien_log.ldf"},
                                           QuotedCase{"销售库", utf8(u8"销售库"),
                                                      utf8(u8"销售库_log.ldf")}));

TEST_F(EndToEnd, ARemoteCleanupReportsFromTheCatalogue) {
    connect(false);
    choose("Shop");
    view.click(按钮_一键清理);
    EXPECT_EQ(standin.server().fileSizePages("Shop", "Shop_log"), 16);
    // 131072 pages before, 16 after, each divided by 124: about 1056.9 MB freed.
    const std::string log = view.state(编辑框_log).text;
    EXPECT_NE(log.find("  Shop清理完毕，共释放了1056.9MB\r\n"), std::string::npos) << log;
    EXPECT_NE(log.find("  Shop清理完毕，共释放了1.0569"), std::string::npos) << log;
    EXPECT_TRUE(log.ends_with("GB\r\n")) << log;
    EXPECT_EQ(userRows()[0], (Row{"shop_log", "129.03 KB"}));
}

}  // namespace
