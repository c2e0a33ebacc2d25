// Karvath's own statements through unixODBC + FreeTDS against the stand-in.
#include <sys/stat.h>

#include <fstream>

#include "StandinTestSupport.h"

namespace karvath::standin::test {
namespace {

using Rows = std::vector<std::vector<std::optional<std::string>>>;

std::string logFileQuery(const std::string& name) {
    return "select database_id,name,physical_name AS CurrentLocation,state_desc,size from "
           "sys.master_files where database_id=db_id(N'" +
           name + "');";
}

std::vector<std::string> firstColumn(const Result& r) {
    std::vector<std::string> out;
    for (const auto& row : r.rows) out.push_back(row.at(0).value_or("<NULL>"));
    return out;
}

TEST_F(StandinOdbcTest, KarvathConnectionStringReachesTheServer) {
    auto c = connect();
    const auto logins = server_->logins();
    ASSERT_EQ(logins.size(), 1u);
    EXPECT_EQ(logins[0].user, "sa");
    EXPECT_EQ(logins[0].password, "Karvath#2026");
    EXPECT_EQ(logins[0].hostName, "PC01");
    EXPECT_EQ(logins[0].database, "master");
    EXPECT_NE(logins[0].serverName.find("127.0.0.1"), std::string::npos);
    EXPECT_TRUE(logins[0].accepted);
    EXPECT_EQ(c->currentCatalog(), "master");
}

TEST_F(StandinOdbcTest, DatabaseListsAndCounts) {
    const std::vector<std::string> names = {"master", "tempdb", "model", "msdb",
                                            "Shop",   "Odd",    "Light", "销售库"};
    struct Case {
        const char* sql;
        const char* column;
        bool count;
    };
    const Case cases[] = {
        {"SELECT count(NAME) FROM MASTER.DBO.SYSDATABASES", "", true},
        {"SELECT NAME FROM MASTER.DBO.SYSDATABASES", "NAME", false},
        {"SELECT count(name) FROM master.dbo.sysdatabases", "", true},
        {"SELECT Name FROM Master..SysDatabases", "Name", false},
        {"select  name\n FROM\tsys.databases ;", "name", false},
        {"SELECT COUNT(*) FROM [master].[dbo].[sysdatabases]", "", true},
    };
    auto c = connect();
    for (const Case& k : cases) {
        SCOPED_TRACE(k.sql);
        const Result r = c->execute(k.sql);
        ASSERT_TRUE(r.ok) << r.messages();
        ASSERT_EQ(r.columns, std::vector<std::string>{k.column});
        if (k.count) {
            EXPECT_EQ(r.types[0], SQL_INTEGER);
            EXPECT_EQ(firstColumn(r), std::vector<std::string>{std::to_string(names.size())});
        } else {
            EXPECT_EQ(r.types[0], SQL_WVARCHAR);
            EXPECT_EQ(firstColumn(r), names);
        }
    }
}

TEST_F(StandinOdbcTest, MasterFilesInFileIdOrder) {
    auto c = connect();
    const Result r = c->execute(logFileQuery("Shop"));
    ASSERT_TRUE(r.ok) << r.messages();
    EXPECT_EQ(r.columns, (std::vector<std::string>{"database_id", "name", "CurrentLocation",
                                                   "state_desc", "size"}));
    EXPECT_EQ(r.types, (std::vector<SQLSMALLINT>{SQL_INTEGER, SQL_WVARCHAR, SQL_WVARCHAR,
                                                 SQL_WVARCHAR, SQL_INTEGER}));
    const Rows expected = {
        {"5", "Shop", "/var/opt/mssql/data/Shop.mdf", "ONLINE", "1024"},
        {"5", "Shop_log", "D:\\Data\\Shop_Log.LDF", "ONLINE", "10000"},
        {"5", "Shop_extra", "D:\\Data\\Shop_extra.ndf", "ONLINE", "256"},
    };
    EXPECT_EQ(r.rows, expected);
}

TEST_F(StandinOdbcTest, UnknownDatabaseHasNoFiles) {
    auto c = connect();
    const Result r = c->execute(logFileQuery("Nowhere"));
    ASSERT_TRUE(r.ok) << r.messages();
    EXPECT_EQ(r.columns.size(), 5u);
    EXPECT_TRUE(r.rows.empty());
}

TEST_F(StandinOdbcTest, CleanupStatementsShrinkTheLogAndRestoreFullRecovery) {
    auto c = connect();
    const Result simple = c->execute("ALTER DATABASE Shop SET RECOVERY SIMPLE ");
    ASSERT_TRUE(simple.ok) << simple.messages();
    EXPECT_EQ(server_->recovery("Shop"), Recovery::Simple);

    const Result use = c->execute("USE Shop");
    ASSERT_TRUE(use.ok) << use.messages();
    EXPECT_TRUE(use.hasNative(5701));
    EXPECT_EQ(c->currentCatalog(), "Shop");

    const Result shrink = c->execute("DBCC SHRINKFILE (N'Shop_log' , 0, TRUNCATEONLY)");
    ASSERT_TRUE(shrink.ok) << shrink.messages();
    EXPECT_EQ(shrink.columns,
              (std::vector<std::string>{"DbId", "FileId", "CurrentSize", "MinimumSize", "UsedPages",
                                        "EstimatedPages"}));
    EXPECT_EQ(shrink.rows, (Rows{{"5", "2", "64", "64", "64", "64"}}));
    EXPECT_TRUE(shrink.hasNative(2528)) << shrink.messages();
    EXPECT_EQ(server_->fileSizePages("Shop", "Shop_log"), 64);

    const Result full = c->execute("ALTER DATABASE Shop SET RECOVERY FULL");
    ASSERT_TRUE(full.ok) << full.messages();
    EXPECT_EQ(server_->recovery("Shop"), Recovery::Full);

    const Result back =
        c->execute("SELECT recovery_model_desc FROM sys.databases WHERE name = N'Shop'");
    ASSERT_TRUE(back.ok) << back.messages();
    EXPECT_EQ(back.rows, (Rows{{"FULL"}}));
    EXPECT_EQ(c->execute(logFileQuery("Shop")).rows.at(1).at(4), "64");
}

TEST_F(StandinOdbcTest, ShrinkKeepsTheActiveLogOutsideSimpleRecovery) {
    struct Case {
        const char* recovery;
        Recovery model;
        const char* expectedPages;
    };
    const Case cases[] = {
        {"FULL", Recovery::Full, "3000"},
        {"BULK_LOGGED", Recovery::BulkLogged, "3000"},
        {"SIMPLE", Recovery::Simple, "64"},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.recovery);
        server_->update([](State& s) {
            DbFile* log = s.findDatabase("Shop")->logFile();
            log->sizePages = 10000;
            log->activePages = 3000;
        });
        auto c = connect();
        ASSERT_TRUE(c->execute(std::string("ALTER DATABASE Shop SET RECOVERY ") + k.recovery).ok);
        EXPECT_EQ(server_->recovery("Shop"), k.model);
        ASSERT_TRUE(c->execute("USE Shop").ok);
        const Result r = c->execute("DBCC SHRINKFILE (N'Shop_log' , 0, TRUNCATEONLY)");
        ASSERT_TRUE(r.ok) << r.messages();
        EXPECT_EQ(r.rows.at(0).at(2), k.expectedPages);
        EXPECT_EQ(std::to_string(*server_->fileSizePages("Shop", "Shop_log")), k.expectedPages);
    }
}

TEST_F(StandinOdbcTest, ShrinkWorksOnTheCurrentDatabase) {
    auto c = connect();
    // Still in master: Shop's log is not found there.
    const Result wrongDb = c->execute("DBCC SHRINKFILE (N'Shop_log' , 0, TRUNCATEONLY)");
    EXPECT_FALSE(wrongDb.ok);
    EXPECT_TRUE(wrongDb.hasNative(8985)) << wrongDb.messages();
    EXPECT_EQ(server_->fileSizePages("Shop", "Shop_log"), 10000);

    // A log whose logical name is not "<db>_log" is not found either.
    ASSERT_TRUE(c->execute("USE Odd").ok);
    const Result odd = c->execute("DBCC SHRINKFILE (N'Odd_log' , 0, TRUNCATEONLY)");
    EXPECT_FALSE(odd.ok);
    ASSERT_FALSE(odd.diagnostics.empty());
    EXPECT_EQ(odd.diagnostics[0].nativeError, 8985);
    EXPECT_NE(odd.diagnostics[0].message.find(
                  "Could not locate file 'Odd_log' for database 'Odd' in sys.database_files."),
              std::string::npos)
        << odd.messages();
    EXPECT_TRUE(c->execute("DBCC SHRINKFILE (N'Odd_Journal' , 0, TRUNCATEONLY)").ok);
}

TEST_F(StandinOdbcTest, UnknownDatabasesAndStatementsFailAsSqlServerDoes) {
    struct Case {
        const char* sql;
        long native;
        const char* text;
    };
    const Case cases[] = {
        {"USE Nowhere", 911,
         "Database 'Nowhere' does not exist. Make sure that the name is entered correctly."},
        {"ALTER DATABASE Nowhere SET RECOVERY SIMPLE ", 5011,
         "User does not have permission to alter database 'Nowhere', the database does not "
         "exist, or the database is not in a state that allows access checks."},
        {"DROP DATABASE Shop", 102, "Incorrect syntax near 'DROP'."},
        {"SELECT NAME FROM MASTER.DBO.SYSDATABASES ORDER BY NAME", 102,
         "Incorrect syntax near 'ORDER'."},
        {"ALTER DATABASE Shop SET RECOVERY PARTIAL", 102, "Incorrect syntax near 'PARTIAL'."},
        {"select name from sys.master_files where database_id=db_id(N'O'Brien');", 105,
         "Unclosed quotation mark after the character string ');'."},
        {"SELECT nome FROM sys.databases", 207, "Invalid column name 'nome'."},
        {"SELECT name FROM dbo.sysfiles", 208, "Invalid object name 'dbo.sysfiles'."},
    };
    auto c = connect();
    for (const Case& k : cases) {
        SCOPED_TRACE(k.sql);
        const Result r = c->execute(k.sql);
        EXPECT_FALSE(r.ok);
        bool found = false;
        for (const Diagnostic& d : r.diagnostics) {
            found =
                found || (d.nativeError == k.native && d.message.find(k.text) != std::string::npos);
        }
        EXPECT_TRUE(found) << r.messages();
    }
    // Nothing changed and the connection is still usable.
    EXPECT_EQ(server_->recovery("Shop"), Recovery::Full);
    EXPECT_TRUE(c->execute("SELECT count(NAME) FROM MASTER.DBO.SYSDATABASES").ok);
}

TEST_F(StandinOdbcTest, KeywordCaseAndSpacingAreFree) {
    const char* statements[] = {
        "alter   database shop set recovery bulk_logged",
        "use\t[Shop];",
        "dbcc shrinkfile(n'SHOP_LOG',0,truncateonly) with no_infomsgs",
        "Alter Database [Shop] Set Recovery Full;",
        "SET TEXTSIZE 2147483647 SET QUOTED_IDENTIFIER ON",
        "/* listing */ SELECT name FROM master..sysdatabases -- all of them",
    };
    auto c = connect();
    for (const char* sql : statements) {
        const Result r = c->execute(sql);
        EXPECT_TRUE(r.ok) << sql << "\n" << r.messages();
    }
    EXPECT_EQ(server_->recovery("Shop"), Recovery::Full);
    EXPECT_EQ(server_->fileSizePages("Shop", "Shop_log"), 3000);
}

TEST_F(StandinOdbcTest, QuotedNamesForUnusualDatabases) {
    const std::string name = "a]b'c d";
    server_->update([&](State& s) {
        Database& db = s.addDatabase(name);
        db.logFile()->sizePages = 500;
    });
    auto c = connect();
    const Result files = c->execute(logFileQuery("a]b''c d"));
    ASSERT_TRUE(files.ok) << files.messages();
    ASSERT_EQ(files.rows.size(), 2u);
    EXPECT_EQ(files.rows[1][1], name + "_log");

    ASSERT_TRUE(c->execute("ALTER DATABASE [a]]b'c d] SET RECOVERY SIMPLE ").ok);
    EXPECT_EQ(server_->recovery(name), Recovery::Simple);
    ASSERT_TRUE(c->execute("USE [a]]b'c d]").ok);
    EXPECT_EQ(c->currentCatalog(), name);
    const Result shrink = c->execute("DBCC SHRINKFILE (N'a]b''c d_log' , 0, TRUNCATEONLY)");
    ASSERT_TRUE(shrink.ok) << shrink.messages();
    EXPECT_EQ(server_->fileSizePages(name, name + "_log"), 64);
    ASSERT_TRUE(c->execute("ALTER DATABASE [a]]b'c d] SET RECOVERY FULL").ok);
    EXPECT_EQ(server_->recovery(name), Recovery::Full);
}

TEST_F(StandinOdbcTest, ChineseDatabaseRoundTripsWithARealLogFile) {
    const std::string name = "销售库";
    const auto path = server_->physicalPath(name, name + "_log");
    ASSERT_TRUE(path);
    EXPECT_EQ(*path, data_.path() + "/销售库_log.ldf");
    struct stat st {};
    ASSERT_EQ(::stat(path->c_str(), &st), 0);
    EXPECT_EQ(st.st_size, 2048 * kPageBytes);
    EXPECT_LT(st.st_blocks * 512, st.st_size);  // sparse

    auto c = connect();
    const Result files = c->execute(logFileQuery(name));
    ASSERT_TRUE(files.ok) << files.messages();
    ASSERT_EQ(files.rows.size(), 2u);
    EXPECT_EQ(files.rows[1], (std::vector<std::optional<std::string>>{"8", name + "_log", *path,
                                                                      "ONLINE", "2048"}));

    // The size follows the file on disk.
    ASSERT_EQ(::truncate(path->c_str(), 3000 * kPageBytes + 100), 0);
    EXPECT_EQ(c->execute(logFileQuery(name)).rows.at(1).at(4), "3000");

    ASSERT_TRUE(c->execute("ALTER DATABASE " + name + " SET RECOVERY SIMPLE ").ok);
    ASSERT_TRUE(c->execute("USE " + name).ok);
    EXPECT_EQ(c->currentCatalog(), name);
    const Result shrink = c->execute("DBCC SHRINKFILE (N'" + name + "_log' , 0, TRUNCATEONLY)");
    ASSERT_TRUE(shrink.ok) << shrink.messages();
    ASSERT_TRUE(c->execute("ALTER DATABASE " + name + " SET RECOVERY FULL").ok);
    ASSERT_EQ(::stat(path->c_str(), &st), 0);
    EXPECT_EQ(st.st_size, 16 * kPageBytes);
    EXPECT_EQ(server_->fileSizePages(name, name + "_log"), 16);
    EXPECT_EQ(server_->recovery(name), Recovery::Full);
}

TEST_F(StandinOdbcTest, EveryTdsVersionFreeTdsSpeaks) {
    for (const char* version : {"7.1", "7.2", "7.3", "7.4"}) {
        SCOPED_TRACE(version);
        auto c = connect(std::string("TDS_Version=") + version + ";");
        EXPECT_EQ(c->execute("SELECT count(NAME) FROM MASTER.DBO.SYSDATABASES").rows,
                  (Rows{{"8"}}));
        const Result files = c->execute(logFileQuery("销售库"));
        EXPECT_EQ(files.rows.size(), 2u) << files.messages();
        const Result err = c->execute("USE Nowhere");
        EXPECT_TRUE(err.hasNative(911)) << err.messages();
        EXPECT_TRUE(c->execute("USE Shop").ok);
        EXPECT_EQ(c->currentCatalog(), "Shop");
    }
}

TEST(StandinPackets, LargeAnswersAndLongTextsSpanManyPackets) {
    TempDir dsn;
    TempDir data;
    State state = sampleState(data.path());
    for (int i = 0; i < 1000; ++i) state.addDatabase("Database_number_" + std::to_string(i));
    ServerOptions options;
    options.packetSize = 512;  // the client follows the size the server answers
    Server server(std::move(state), options);
    const int port = server.start();
    ASSERT_NE(port, 0);
    auto c = std::make_unique<OdbcConnection>();
    ASSERT_TRUE(c->connect(karvathConnectionString(dsn.path(), port, kUser, kPassword)));
    const Result names = c->execute("SELECT NAME FROM MASTER.DBO.SYSDATABASES");
    ASSERT_TRUE(names.ok) << names.messages();
    ASSERT_EQ(names.rows.size(), 1008u);
    EXPECT_EQ(names.rows.back()[0], "Database_number_999");

    // A statement far longer than a packet.
    const std::string padding(20000, ' ');
    const std::string longSql = "SELECT count(name)" + padding + "FROM master.dbo.sysdatabases";
    const Result padded = c->execute(longSql);
    ASSERT_TRUE(padded.ok) << padded.messages();
    EXPECT_EQ(padded.rows, (Rows{{"1008"}}));
    EXPECT_EQ(server.statementTexts().back(), longSql);
}

TEST_F(StandinOdbcTest, RecordsKeepTheOrderOfArrival) {
    auto c = connect();
    const std::vector<std::string> sent = {"SELECT count(NAME) FROM MASTER.DBO.SYSDATABASES",
                                           "USE msdb", "nonsense here", logFileQuery("销售库")};
    for (const std::string& sql : sent) c->execute(sql);
    std::vector<std::string> received;
    for (const StatementRecord& r : server_->statements()) {
        if (r.sql.rfind("SET ", 0) != 0) received.push_back(r.sql);  // driver's own settings
    }
    EXPECT_EQ(received, sent);
    server_->clearRecords();
    EXPECT_TRUE(server_->statements().empty());
    EXPECT_TRUE(server_->logins().empty());
}

}  // namespace
}  // namespace karvath::standin::test
