// The catalogue misbehaving or holding awkward names: a database dropped
// between the count and the names, a database whose file query fails, and
// names that need quoting, listed with their real logs and cleaned with
// exactly their own statements.
#include "FaultFixture.h"

namespace faults {
namespace {

using karvath::standin::Recovery;
using karvath::standin::State;
using Action = karvath::standin::StatementFault::Action;

const Rows kSystemRows = {
    {"master_log", "0 KB"}, {"tempdb_log", "0 KB"}, {"model_log", "0 KB"}, {"msdb_log", "0 KB"}};
const Texts kSystemNames = {"master", "tempdb", "model", "msdb"};

Rows withSystem(const Rows& user) {
    Rows all = kSystemRows;
    all.insert(all.end(), user.begin(), user.end());
    return all;
}
Texts withSystem(const Texts& user) {
    Texts all = kSystemNames;
    all.insert(all.end(), user.begin(), user.end());
    return all;
}

struct DropCase {
    const char* name;
    const char* countQuery;  // the count after which Odd is dropped
    Rows listed;
    Texts chooser;
};

void PrintTo(const DropCase& c, std::ostream* os) { *os << c.name; }

class DroppedDatabase : public FaultTest, public ::testing::WithParamInterface<DropCase> {};

TEST_P(DroppedDatabase, BetweenTheCountAndTheNamesLeavesNoPhantomRow) {
    State s = systemState(os.directory());
    addRealLog(s, "Odd", "Odd_log.ldf", 64, 8);
    addRealLog(s, "Shop", "Shop_log.ldf", 128, 8);
    serve(std::move(s));
    server().addStatementFault(
        {Action::DropDatabase, GetParam().countQuery, false, 0, 0, "Odd", 1});
    seedHistory();
    start();

    const auto took = timed([&] { connect(true); });

    EXPECT_LT(took, kHangLimit);
    EXPECT_FALSE(server().recovery("Odd"));
    EXPECT_EQ(rows(), withSystem(GetParam().listed));
    EXPECT_EQ(items(), withSystem(GetParam().chooser));
    expectHistoryKept();

    // Shop is still Shop: chosen and cleaned as such.
    choose("Shop");
    view.click(按钮_一键清理);
    expectCleanupFinished();
    EXPECT_EQ(server().fileSizePages("Shop", "Shop_log"), 8);
    EXPECT_TRUE(activityLog().ends_with("  Shop清理完毕，共释放了960KB\r\n")) << activityLog();
    EXPECT_EQ(rows(), withSystem(Rows{{"shop_log", "64 KB"}}));
}

INSTANTIATE_TEST_SUITE_P(
    Row, DroppedDatabase,
    ::testing::Values(DropCase{"ForTheList",
                               "SELECT count(NAME) FROM MASTER.DBO.SYSDATABASES",
                               {{"shop_log", "1.024 MB"}},
                               {"Shop"}},
                      DropCase{"ForTheChooser",
                               "SELECT count(name) FROM master.dbo.sysdatabases",
                               {{"odd_log", "512 KB"}, {"shop_log", "1.024 MB"}},
                               {"Shop"}}),
    [](const auto& info) { return std::string(info.param.name); });

struct BrokenCase {
    const char* name;
    bool local;
};

void PrintTo(const BrokenCase& c, std::ostream* os) { *os << c.name; }

class FileQueryFails : public FaultTest, public ::testing::WithParamInterface<BrokenCase> {};

TEST_P(FileQueryFails, ShowsAnEmptyRowAndCleansWithoutAMeasure) {
    State s = systemState(os.directory());
    addRealLog(s, "Broken", "Broken_log.ldf", 128, 8);
    addRealLog(s, "Shop", "Shop_log.ldf", 128, 8);
    serve(std::move(s));
    server().addStatementFault(
        {Action::PermissionError, "db_id(N'Broken')", false, 0, 15247, "", 0});
    seedHistory();
    start();

    connect(GetParam().local);
    const Rows listed = rows();
    ASSERT_EQ(listed.size(), 6u);
    EXPECT_EQ(listed[4], (Row{"", "0 KB"}));
    EXPECT_EQ(listed[5], (Row{"shop_log", GetParam().local ? "1.024 MB" : "1.03 MB"}));
    EXPECT_EQ(items(), withSystem(Texts{"Broken", "Shop"}));

    choose("Broken");
    const auto took = timed([&] { view.click(按钮_一键清理); });

    EXPECT_LT(took, kHangLimit);
    expectCleanupFinished();
    // The statements do not need the file query: the log is shrunk all the
    // same, but with no measure the report can only say nothing was freed.
    EXPECT_EQ(server().fileSizePages("Broken", "Broken_log"), 8);
    EXPECT_EQ(server().recovery("Broken"), Recovery::Full);
    EXPECT_TRUE(activityLog().ends_with("  Broken清理完毕，共释放了0KB\r\n")) << activityLog();
    EXPECT_EQ(rows().size(), 6u);
    expectHistoryKept();
}

INSTANTIATE_TEST_SUITE_P(Row, FileQueryFails,
                         ::testing::Values(BrokenCase{"Local", true}, BrokenCase{"Remote", false}),
                         [](const auto& info) { return std::string(info.param.name); });

// Names that need quoting, each with a real log file named after it.
struct NameCase {
    const char* label;
    std::string gbkName;
    std::string utf8Name;
    std::string utf8File;
    std::string logName;   // as listed (GBK)
    Texts utf8Statements;  // as the server receives them
};

void PrintTo(const NameCase& c, std::ostream* os) { *os << c.label; }

const std::string kLong = "Db" + std::string(126, 'x');  // 128 characters, the longest name

std::vector<NameCase> nameCases() {
    return {
        {"Quote",
         "O'Brien",
         "O'Brien",
         "O'Brien_log.ldf",
         "o'brien_log",
         {"ALTER DATABASE [O'Brien] SET RECOVERY SIMPLE ", "USE [O'Brien]",
          "DBCC SHRINKFILE (N'O''Brien_log' , 0, TRUNCATEONLY)",
          "ALTER DATABASE [O'Brien] SET RECOVERY FULL"}},
        {"Bracket",
         "Q1]Sales[",
         "Q1]Sales[",
         "Q1]Sales[_log.ldf",
         "q1]sales[_log",
         {"ALTER DATABASE [Q1]]Sales[] SET RECOVERY SIMPLE ", "USE [Q1]]Sales[]",
          "DBCC SHRINKFILE (N'Q1]Sales[_log' , 0, TRUNCATEONLY)",
          "ALTER DATABASE [Q1]]Sales[] SET RECOVERY FULL"}},
        {"Spaces",
         "My Shop 2",
         "My Shop 2",
         "My Shop 2_log.ldf",
         "my shop 2_log",
         {"ALTER DATABASE [My Shop 2] SET RECOVERY SIMPLE ", "USE [My Shop 2]",
          "DBCC SHRINKFILE (N'My Shop 2_log' , 0, TRUNCATEONLY)",
          "ALTER DATABASE [My Shop 2] SET RECOVERY FULL"}},
        {"Semicolon",
         "a;DROP DATABASE Bystander",
         "a;DROP DATABASE Bystander",
         "a;DROP DATABASE Bystander_log.ldf",
         "a;drop database bystander_log",
         {"ALTER DATABASE [a;DROP DATABASE Bystander] SET RECOVERY SIMPLE ",
          "USE [a;DROP DATABASE Bystander]",
          "DBCC SHRINKFILE (N'a;DROP DATABASE Bystander_log' , 0, TRUNCATEONLY)",
          "ALTER DATABASE [a;DROP DATABASE Bystander] SET RECOVERY FULL"}},
        {"Chinese",
         "销售库",
         utf8(u8"销售库"),
         utf8(u8"销售库_log.ldf"),
         "销售库_log",
         {utf8(u8"ALTER DATABASE [销售库] SET RECOVERY SIMPLE "), utf8(u8"USE [销售库]"),
          utf8(u8"DBCC SHRINKFILE (N'销售库_log' , 0, TRUNCATEONLY)"),
          utf8(u8"ALTER DATABASE [销售库] SET RECOVERY FULL")}},
        {"Chars128",
         kLong,
         kLong,
         kLong + "_log.ldf",
         "db" + kLong.substr(2) + "_log",
         {"ALTER DATABASE " + kLong + " SET RECOVERY SIMPLE ", "USE " + kLong,
          "DBCC SHRINKFILE (N'" + kLong + "_log' , 0, TRUNCATEONLY)",
          "ALTER DATABASE " + kLong + " SET RECOVERY FULL"}},
    };
}

class AwkwardNames : public FaultTest, public ::testing::WithParamInterface<NameCase> {
protected:
    // Every case's database at once, 1 MB logs shrinkable to 64 KB, and a
    // bystander with a log of its own.
    void SetUp() override {
        State s = systemState(os.directory());
        for (const NameCase& c : nameCases()) addRealLog(s, c.utf8Name, c.utf8File, 128, 8);
        addRealLog(s, "Bystander", "Bystander_log.ldf", 128, 8, Recovery::BulkLogged);
        serve(std::move(s));
        seedHistory();
        start();
    }
};

TEST_P(AwkwardNames, AreListedWithTheirLogsAndCleanedWithTheirOwnStatementsOnly) {
    const NameCase& c = GetParam();
    connect(true);

    Rows user;
    Texts names;
    for (const NameCase& each : nameCases()) {
        user.push_back({each.logName, "1.024 MB"});
        names.push_back(each.gbkName);
    }
    user.push_back({"bystander_log", "1.024 MB"});
    names.push_back("Bystander");
    EXPECT_EQ(rows(), withSystem(user));
    EXPECT_EQ(items(), withSystem(names));

    choose(c.gbkName);
    const std::size_t mark = server().statementTexts().size();
    const auto took = timed([&] { view.click(按钮_一键清理); });

    EXPECT_LT(took, kHangLimit);
    expectCleanupFinished();
    EXPECT_EQ(statementsSince(mark), c.utf8Statements);
    // The file queries of the measurements named this database and no other.
    const Texts all = server().statementTexts();
    const std::string ownQuery = "db_id(N'" + [&] {
        std::string doubled;
        for (char ch : c.utf8Name) doubled += ch == '\'' ? std::string("''") : std::string(1, ch);
        return doubled;
    }() + "');";
    EXPECT_TRUE(all[mark].ends_with(ownQuery)) << all[mark];

    EXPECT_EQ(server().fileSizePages(c.utf8Name, c.utf8Name + "_log"), 8);
    EXPECT_EQ(server().recovery(c.utf8Name), Recovery::Full);
    const State after = server().snapshot();
    EXPECT_EQ(after.databases.size(), 4u + nameCases().size() + 1u);
    for (const NameCase& other : nameCases()) {
        if (other.utf8Name == c.utf8Name) continue;
        EXPECT_EQ(server().fileSizePages(other.utf8Name, other.utf8Name + "_log"), 128)
            << other.label;
        EXPECT_EQ(server().recovery(other.utf8Name), Recovery::Full) << other.label;
    }
    EXPECT_EQ(server().recovery("Bystander"), Recovery::BulkLogged);
    EXPECT_EQ(server().recovery("master"), Recovery::Simple);
    EXPECT_TRUE(activityLog().ends_with("  " + c.gbkName + "清理完毕，共释放了960KB\r\n"))
        << activityLog();
    expectHistoryKept();
}

INSTANTIATE_TEST_SUITE_P(Row, AwkwardNames, ::testing::ValuesIn(nameCases()),
                         [](const auto& info) { return std::string(info.param.label); });

}  // namespace
}  // namespace faults
