// The ODBC session through the real unixODBC driver manager and the FreeTDS
// "SQL Server" driver, talking to the stand-in on loopback.
#include <gtest/gtest.h>
#include <sql.h>
#include <sqlext.h>

#include <clocale>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <mutex>
#include <string>
#include <vector>

#include "StandinFixture.h"
#include "platform/Gbk.h"
#include "sql/OdbcSession.h"

namespace {

using karvath::standin::Recovery;
using karvath::standin::State;
using karvath::standin::StatementFault;
using Kind = FieldValue::Kind;

// This file's narrow literals are GBK; the stand-in speaks UTF-8.
std::string utf8(const char8_t* s) { return reinterpret_cast<const char*>(s); }

const char* const kCountList = "SELECT count(NAME) FROM MASTER.DBO.SYSDATABASES";
const char* const kNamesList = "SELECT NAME FROM MASTER.DBO.SYSDATABASES";

std::string logFileQuery(const std::string& database) {
    return "select database_id,name,physical_name AS CurrentLocation,state_desc,size from "
           "sys.master_files where database_id=db_id(N'" +
           database + "');";
}

std::string readWhole(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return "<missing>";
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

State testState() {
    State s = State::withSystemDatabases();
    s.addDatabase("Shop");
    s.addDatabase(utf8(u8"销售库"));
    s.logins.push_back({utf8(u8"销售员"), utf8(u8"口令")});
    return s;
}

class OdbcSessionTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(standin.started()) << standin.server().lastError();
        // What the DSN file holds while the server sees the login.
        standin.server().setEventSink([this](const std::string& line) {
            if (line.rfind("LOGIN\t", 0) != 0) return;
            std::lock_guard lock(sinkMutex);
            dsnAtLogin.push_back(readWhole(dsnPath));
        });
    }
    void TearDown() override { standin.server().setEventSink(nullptr); }

    bool open(const std::string& password = Standin::kPassword,
              const std::string& login = Standin::kLogin) {
        dsnPath = platform.temp + "~sqlsrv.dsn";
        return session.openConnection(standin.serverText(), login, password, "master");
    }
    std::vector<std::string> seenDsn() {
        std::lock_guard lock(sinkMutex);
        return dsnAtLogin;
    }
    int countDatabases() { return session.readField(session.runQuery(kCountList), 1).asCount(); }

    TestPlatform platform;
    std::mutex sinkMutex;
    std::vector<std::string> dsnAtLogin;
    std::string dsnPath;
    Standin standin{testState()};
    OdbcSession session{platform};
};

// --- Opening ---------------------------------------------------------------

TEST_F(OdbcSessionTest, DsnFileHoldsTheAttemptAndIsRemovedAfterIt) {
    struct Case {
        const char* password;
        bool connects;
    };
    for (const Case c : {Case{Standin::kPassword, true}, Case{"wrong", false}}) {
        SCOPED_TRACE(c.password);
        platform.writes.clear();
        platform.removals.clear();
        const std::size_t seenBefore = seenDsn().size();

        EXPECT_EQ(open(c.password), c.connects);

        const std::string expected =
            "[ODBC]\r\nDRIVER=SQL Server\r\nSERVER=" + standin.serverText() +
            "\r\nUID=sa\r\nDATABASE=master\r\nWSID=KARVATHTEST\r\n";
        ASSERT_EQ(platform.writes.size(), 1u);
        EXPECT_EQ(platform.writes[0].path, platform.directory() + "/~sqlsrv.dsn");
        EXPECT_EQ(platform.writes[0].bytes, expected);
        const auto seen = seenDsn();
        ASSERT_EQ(seen.size(), seenBefore + 1);
        EXPECT_EQ(seen.back(), expected) << "the file must exist while the driver logs in";
        EXPECT_EQ(platform.removals, std::vector<std::string>{platform.writes[0].path});
        EXPECT_FALSE(std::filesystem::exists(platform.writes[0].path));
    }
}

TEST_F(OdbcSessionTest, ServerReceivesLoginPasswordWorkstationAndDatabase) {
    ASSERT_TRUE(open());
    const auto logins = standin.server().logins();
    ASSERT_EQ(logins.size(), 1u);
    EXPECT_EQ(logins[0].user, "sa");
    EXPECT_EQ(logins[0].password, Standin::kPassword);
    EXPECT_EQ(logins[0].hostName, "KARVATHTEST");
    EXPECT_EQ(logins[0].database, "master");
    EXPECT_TRUE(logins[0].accepted);
}

TEST_F(OdbcSessionTest, NoComputerNameSendsNoWorkstationId) {
    platform.computer = "";
    ASSERT_TRUE(open());
    ASSERT_EQ(platform.writes.size(), 1u);
    EXPECT_EQ(platform.writes[0].bytes,
              "[ODBC]\r\nDRIVER=SQL Server\r\nSERVER=" + standin.serverText() +
                  "\r\nUID=sa\r\nDATABASE=master\r\n");
    const auto logins = standin.server().logins();
    ASSERT_EQ(logins.size(), 1u);
    EXPECT_NE(logins[0].hostName, "KARVATHTEST");
}

TEST_F(OdbcSessionTest, NoTempDirectoryPutsTheDsnFileInTheCurrentDirectory) {
    const auto before = std::filesystem::current_path();
    std::filesystem::current_path(platform.directory());
    platform.temp = "";
    const bool opened = open();
    std::filesystem::current_path(before);

    EXPECT_TRUE(opened);
    ASSERT_EQ(platform.writes.size(), 1u);
    EXPECT_EQ(platform.writes[0].path, "~sqlsrv.dsn");
    const auto seen = seenDsn();
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0], platform.writes[0].bytes);
    EXPECT_EQ(platform.removals, std::vector<std::string>{"~sqlsrv.dsn"});
    EXPECT_FALSE(std::filesystem::exists(platform.directory() + "/~sqlsrv.dsn"));
}

TEST_F(OdbcSessionTest, WrongPasswordOrUnknownLoginFails) {
    EXPECT_FALSE(open("wrong"));
    EXPECT_FALSE(open(Standin::kPassword, "nobody"));
    EXPECT_FALSE(session.isOpen());
    EXPECT_EQ(session.runQuery(kCountList), 0);
    const auto logins = standin.server().logins();
    ASSERT_EQ(logins.size(), 2u);
    EXPECT_EQ(logins[0].password, "wrong");
    EXPECT_FALSE(logins[0].accepted);
    EXPECT_EQ(logins[1].user, "nobody");
    EXPECT_FALSE(logins[1].accepted);
}

TEST_F(OdbcSessionTest, EmptyPasswordIsNotSent) {
    EXPECT_FALSE(open(""));
    const auto logins = standin.server().logins();
    ASSERT_EQ(logins.size(), 1u);
    EXPECT_EQ(logins[0].password, "");
    EXPECT_FALSE(logins[0].accepted);
}

TEST_F(OdbcSessionTest, UnreachableServerFails) {
    session.setLoginTimeout(2);
    const std::string closed = Standin::closedPortServerText();
    platform.writes.clear();
    EXPECT_FALSE(session.openConnection(closed, "sa", Standin::kPassword, "master"));
    EXPECT_FALSE(session.isOpen());
    ASSERT_EQ(platform.writes.size(), 1u);
    EXPECT_FALSE(std::filesystem::exists(platform.writes[0].path));
}

TEST_F(OdbcSessionTest, LoginTimeoutEndsASlowLogin) {
    auto faults = standin.server().faults();
    faults.loginDelayMs = 6000;  // longer than the test's login timeout
    standin.server().setFaults(faults);
    session.setLoginTimeout(1);
    EXPECT_FALSE(open());
    EXPECT_FALSE(session.isOpen());
}

TEST_F(OdbcSessionTest, FailedReopenKeepsTheOldConnectionAndItsResultSets) {
    ASSERT_TRUE(open());
    const ResultSet names = session.runQuery(kNamesList);
    ASSERT_NE(names, 0);

    EXPECT_FALSE(open("wrong"));
    EXPECT_FALSE(session.openConnection(Standin::closedPortServerText(), "sa", Standin::kPassword,
                                        "master"));

    EXPECT_TRUE(session.isOpen());
    EXPECT_EQ(session.readField(names, 1).asText(), "master");
    EXPECT_EQ(countDatabases(), 6);
    const auto logins = standin.server().logins();
    const auto statements = standin.server().statements();
    ASSERT_FALSE(statements.empty());
    EXPECT_EQ(statements.back().connection, logins.front().connection);
}

TEST_F(OdbcSessionTest, ReopenAndCloseReleaseResultSets) {
    ASSERT_TRUE(open());
    const ResultSet first = session.runQuery(kCountList);
    ASSERT_NE(first, 0);
    ASSERT_TRUE(open());
    // A handle from the earlier connection names nothing now, even once the new
    // connection has result sets of its own.
    const ResultSet second = session.runQuery(kNamesList);
    ASSERT_NE(second, 0);
    EXPECT_NE(second, first);
    EXPECT_EQ(session.readField(first, 1).kind, Kind::Text);
    EXPECT_EQ(session.readField(first, 1).text, "");
    EXPECT_EQ(session.readField(second, 1).asText(), "master");

    session.closeConnection();
    EXPECT_FALSE(session.isOpen());
    EXPECT_EQ(session.readField(second, 1).text, "");
    EXPECT_EQ(session.runQuery(kCountList), 0);
    EXPECT_FALSE(session.executeStatement("USE Shop"));
    session.closeConnection();  // closing a closed session does nothing

    ASSERT_TRUE(open());
    EXPECT_EQ(countDatabases(), 6);
}

// --- Queries ---------------------------------------------------------------

TEST_F(OdbcSessionTest, ListingReadsCountNamesAndFilesByNameAndPosition) {
    ASSERT_TRUE(open());
    const FieldValue count = session.readField(session.runQuery(kCountList), 1);
    EXPECT_EQ(count.kind, Kind::Int);
    EXPECT_EQ(count.integer, 6);

    // The names result is read between the per-database queries, as the listing does.
    const ResultSet names = session.runQuery(kNamesList);
    ASSERT_NE(names, 0);
    const State state = standin.server().snapshot();
    ASSERT_EQ(state.databases.size(), 6u);
    for (const auto& db : state.databases) {
        const std::string name = session.readField(names, "NAME").asText();
        EXPECT_EQ(name, session.readField(names, 1).asText());
        const ResultSet files = session.runQuery(logFileQuery(name));
        ASSERT_NE(files, 0) << name;
        EXPECT_EQ(session.readField(files, "name").asText(), utf8ToGbk(db.files[0].logicalName));
        session.moveNext(files);
        const FieldValue path = session.readField(files, "CurrentLocation");
        const FieldValue size = session.readField(files, "size");
        EXPECT_EQ(path.kind, Kind::Text);
        EXPECT_EQ(size.kind, Kind::Int);
        EXPECT_EQ(session.readField(files, 3).text, path.text);
        EXPECT_EQ(session.readField(files, 5).integer, size.integer);
        EXPECT_EQ(session.readField(files, "database_id").integer, db.id);
        if (db.name == "Shop") {
            EXPECT_EQ(path.text, "/var/opt/mssql/data/Shop_log.ldf");
            EXPECT_EQ(size.integer, 1024);
        }
        session.moveNext(names);
    }
    // Past the last row every read is an empty text, and moving on changes nothing.
    EXPECT_EQ(session.readField(names, 1).kind, Kind::Text);
    EXPECT_EQ(session.readField(names, 1).text, "");
    session.moveNext(names);
    EXPECT_EQ(session.readField(names, "NAME").text, "");
}

TEST_F(OdbcSessionTest, ColumnKindsFollowTheirSqlTypes) {
    ASSERT_TRUE(open());
    const ResultSet rs = session.runQuery("SELECT name, dbid FROM master.dbo.sysdatabases");
    ASSERT_NE(rs, 0);
    EXPECT_EQ(session.readField(rs, "name").kind, Kind::Text);
    EXPECT_EQ(session.readField(rs, "name").text, "master");
    const FieldValue dbid = session.readField(rs, "dbid");
    EXPECT_EQ(dbid.kind, Kind::Short);
    EXPECT_EQ(dbid.integer, 1);
    EXPECT_EQ(dbid.asCount(), 1);
}

TEST_F(OdbcSessionTest, ReadsOutsideAResultAreEmptyTexts) {
    ASSERT_TRUE(open());
    const ResultSet rs = session.runQuery(logFileQuery("Shop"));
    ASSERT_NE(rs, 0);
    struct Case {
        const char* what;
        FieldValue value;
    };
    const Case cases[] = {
        {"handle 0", session.readField(0, 1)},
        {"handle 0 by name", session.readField(0, "size")},
        {"unknown handle", session.readField(rs + 100, 1)},
        {"negative handle", session.readField(-1, 1)},
        {"position 0", session.readField(rs, 0)},
        {"position past the columns", session.readField(rs, 6)},
        {"unknown name", session.readField(rs, "nope")},
        {"name in other letter case", session.readField(rs, "currentlocation")},
        {"empty name", session.readField(rs, "")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(c.value.kind, Kind::Text);
        EXPECT_EQ(c.value.text, "");
    }
    session.moveNext(0);
    session.moveNext(rs + 100);
    EXPECT_EQ(session.readField(rs, "name").asText(), "Shop") << "other handles moved nothing";
}

TEST_F(OdbcSessionTest, QueryWithoutRowsGivesAnEmptyResult) {
    ASSERT_TRUE(open());
    const ResultSet rs = session.runQuery(logFileQuery("NoSuchDatabase"));
    ASSERT_NE(rs, 0);
    EXPECT_EQ(session.readField(rs, "CurrentLocation").text, "");
    EXPECT_EQ(session.readField(rs, 1).text, "");
}

TEST_F(OdbcSessionTest, EmptyOrRejectedQueriesGiveZero) {
    ASSERT_TRUE(open());
    EXPECT_EQ(session.runQuery(""), 0);
    EXPECT_FALSE(session.executeStatement(""));
    EXPECT_TRUE(standin.server().statementTexts().empty()) << "empty texts are not sent";

    EXPECT_EQ(session.runQuery("SELECT nope FROM master.dbo.sysdatabases"), 0);
    // A name with a quote breaks the pasted text.
    EXPECT_EQ(session.runQuery(logFileQuery("O'Brien")), 0);
    EXPECT_EQ(countDatabases(), 6) << "the session stays usable";
}

TEST_F(OdbcSessionTest, LongTextsArriveWhole) {
    // 258 characters, more than one piece of SQLGetData, within nvarchar(260).
    std::string utf8Path = "/var/opt/mssql/data/", gbkPath = utf8Path;
    for (int i = 0; i < 230; ++i) {
        utf8Path += utf8(u8"长");
        gbkPath += "长";
    }
    utf8Path += "_log.ldf";
    gbkPath += "_log.ldf";
    standin.server().update(
        [&](State& s) { s.findDatabase("Shop")->files[1].physicalPath = utf8Path; });
    ASSERT_TRUE(open());
    const ResultSet rs = session.runQuery(logFileQuery("Shop"));
    session.moveNext(rs);
    EXPECT_EQ(session.readField(rs, "CurrentLocation").asText(), gbkPath);
}

// Whatever the process locale, GBK texts reach the server as the characters
// they stand for, and names come back as GBK.
class OdbcSessionLocaleTest : public OdbcSessionTest,
                              public ::testing::WithParamInterface<const char*> {
protected:
    void SetUp() override {
        OdbcSessionTest::SetUp();
        saved_ = std::setlocale(LC_ALL, nullptr);
        if (!std::setlocale(LC_ALL, GetParam())) GTEST_SKIP() << "no locale " << GetParam();
    }
    void TearDown() override {
        std::setlocale(LC_ALL, saved_.c_str());
        OdbcSessionTest::TearDown();
    }

private:
    std::string saved_;
};

TEST_P(OdbcSessionLocaleTest, ChineseNamesRoundTrip) {
    ASSERT_TRUE(session.openConnection(standin.serverText(), "销售员", "口令", "销售库"));
    const auto logins = standin.server().logins();
    ASSERT_EQ(logins.size(), 1u);
    EXPECT_EQ(logins[0].user, utf8(u8"销售员"));
    EXPECT_EQ(logins[0].password, utf8(u8"口令"));
    EXPECT_EQ(logins[0].database, utf8(u8"销售库"));

    const ResultSet names = session.runQuery("SELECT Name FROM Master..SysDatabases");
    std::vector<std::string> seen;
    for (int i = 0; i < 6; ++i, session.moveNext(names)) {
        seen.push_back(session.readField(names, "Name").asText());
    }
    EXPECT_EQ(seen[4], "Shop");
    EXPECT_EQ(seen[5], "销售库");

    const ResultSet files = session.runQuery(logFileQuery("销售库"));
    ASSERT_NE(files, 0);
    EXPECT_EQ(standin.server().statementTexts().back(),
              utf8(u8"select database_id,name,physical_name AS CurrentLocation,state_desc,size "
                   u8"from sys.master_files where database_id=db_id(N'销售库');"));
    session.moveNext(files);
    EXPECT_EQ(session.readField(files, "CurrentLocation").asText(),
              "/var/opt/mssql/data/销售库_log.ldf");
    EXPECT_EQ(session.readField(files, "name").asText(), "销售库_log");
    EXPECT_TRUE(session.executeStatement("USE 销售库"));
    EXPECT_TRUE(session.executeStatement("ALTER DATABASE 销售库 SET RECOVERY SIMPLE "));
    EXPECT_EQ(standin.server().recovery(utf8(u8"销售库")), Recovery::Simple);
}

INSTANTIATE_TEST_SUITE_P(Locales, OdbcSessionLocaleTest, ::testing::Values("C", "C.UTF-8"),
                         [](const auto& info) {
                             std::string n = info.param;
                             for (char& ch : n) {
                                 if (ch == '.' || ch == '-') ch = '_';
                             }
                             return n;
                         });

// --- Timeouts --------------------------------------------------------------

TEST_F(OdbcSessionTest, QueryTimeoutFailsTheQueryAndKeepsTheSessionUsable) {
    ASSERT_TRUE(open());
    session.setQueryTimeout(1);
    StatementFault slow;
    slow.action = StatementFault::Action::Delay;
    slow.delayMs = 6000;
    slow.times = 1;
    slow.pattern = "SHRINKFILE";
    standin.server().addStatementFault(slow);
    slow.pattern = "count(NAME)";
    standin.server().addStatementFault(slow);

    EXPECT_EQ(session.runQuery(kCountList), 0);
    EXPECT_FALSE(
        session.executeStatement("USE Shop DBCC SHRINKFILE (N'Shop_log' , 0, TRUNCATEONLY)"));
    EXPECT_EQ(session.readField(session.runQuery(kNamesList), 1).asText(), "master");
    EXPECT_TRUE(session.executeStatement("USE Shop"));
}

// --- Statements ------------------------------------------------------------

TEST_F(OdbcSessionTest, CleanupStatementsRunAndAreDrained) {
    ASSERT_TRUE(open());
    EXPECT_TRUE(session.executeStatement("ALTER DATABASE Shop SET RECOVERY SIMPLE "));
    EXPECT_EQ(standin.server().recovery("Shop"), Recovery::Simple);
    EXPECT_TRUE(session.executeStatement("USE Shop"));
    EXPECT_TRUE(session.executeStatement("DBCC SHRINKFILE (N'Shop_log' , 0, TRUNCATEONLY)"));
    EXPECT_EQ(standin.server().fileSizePages("Shop", "Shop_log"), 64);
    EXPECT_TRUE(session.executeStatement("ALTER DATABASE Shop SET RECOVERY FULL"));
    EXPECT_EQ(standin.server().recovery("Shop"), Recovery::Full);
    const std::vector<std::string> sent = {"ALTER DATABASE Shop SET RECOVERY SIMPLE ", "USE Shop",
                                           "DBCC SHRINKFILE (N'Shop_log' , 0, TRUNCATEONLY)",
                                           "ALTER DATABASE Shop SET RECOVERY FULL"};
    EXPECT_EQ(standin.server().statementTexts(), sent);
    // A statement that returns rows leaves nothing pending behind it.
    EXPECT_TRUE(session.executeStatement(kNamesList));
    EXPECT_EQ(countDatabases(), 6);
}

TEST_F(OdbcSessionTest, StatementFailures) {
    ASSERT_TRUE(open());
    StatementFault denied;
    denied.action = StatementFault::Action::PermissionError;
    denied.pattern = "RECOVERY FULL";
    standin.server().addStatementFault(denied);

    struct Case {
        const char* sql;
    };
    const Case cases[] = {
        {"ALTER DATABASE Shop SET RECOVERY FULL"},            // permission denied
        {"DBCC SHRINKFILE (N'Nope_log' , 0, TRUNCATEONLY)"},  // no such file
        {"USE NoSuchDatabase"},
        {"SELECT NAME FROM MASTER.DBO.SYSDATABASES DBCC SHRINKFILE (N'Nope_log' , 0, "
         "TRUNCATEONLY)"},                                                      // error after rows
        {"DBCC SHRINKFILE (N'mastlog' , 0, TRUNCATEONLY) USE NoSuchDatabase"},  // after DBCC rows
        {"SELEKT 1"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.sql);
        EXPECT_FALSE(session.executeStatement(c.sql));
        EXPECT_EQ(countDatabases(), 6) << "the session stays usable";
    }
}

TEST_F(OdbcSessionTest, DroppedConnectionFailsQuietly) {
    ASSERT_TRUE(open());
    const ResultSet before = session.runQuery(kNamesList);
    StatementFault drop;
    drop.action = StatementFault::Action::DropConnection;
    drop.pattern = "sys.master_files";
    standin.server().addStatementFault(drop);
    EXPECT_EQ(session.runQuery(logFileQuery("Shop")), 0);
    EXPECT_EQ(session.runQuery(kCountList), 0);
    EXPECT_FALSE(session.executeStatement("USE Shop"));
    EXPECT_EQ(session.readField(before, 1).asText(), "master") << "read results stay";
    ASSERT_TRUE(open());
    EXPECT_EQ(countDatabases(), 6);
}

// --- Column kinds of types the stand-in does not send ------------------------

TEST(FieldKindOf, FollowsTheOdbcSqlType) {
    struct Case {
        int type;
        Kind kind;
    };
    const Case cases[] = {
        {SQL_CHAR, Kind::Text},
        {SQL_VARCHAR, Kind::Text},
        {SQL_LONGVARCHAR, Kind::Text},
        {SQL_WCHAR, Kind::Text},
        {SQL_WVARCHAR, Kind::Text},
        {SQL_WLONGVARCHAR, Kind::Text},
        {SQL_NUMERIC, Kind::Text},
        {SQL_DECIMAL, Kind::Text},
        {SQL_BIGINT, Kind::Text},
        {SQL_INTEGER, Kind::Int},
        {SQL_SMALLINT, Kind::Short},
        {SQL_TINYINT, Kind::Byte},
        {SQL_REAL, Kind::Float},
        {SQL_FLOAT, Kind::Double},
        {SQL_DOUBLE, Kind::Double},
        {SQL_BIT, Kind::Bool},
        {SQL_TYPE_DATE, Kind::DateTime},
        {SQL_TYPE_TIME, Kind::DateTime},
        {SQL_TYPE_TIMESTAMP, Kind::DateTime},
        {SQL_BINARY, Kind::Bytes},
        {SQL_VARBINARY, Kind::Bytes},
        {SQL_LONGVARBINARY, Kind::Bytes},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(fieldKindOf(c.type), c.kind) << "SQL type " << c.type;
    }
}

}  // namespace
