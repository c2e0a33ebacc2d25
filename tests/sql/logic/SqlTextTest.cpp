#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "FakeSession.h"
#include "sql/CleanupText.h"
#include "sql/SqlText.h"

namespace {

TEST(SqlText, FileQueryQuotesTheNameAsALiteral) {
    EXPECT_EQ(logFileQuery("Shop"),
              "select database_id,name,physical_name AS CurrentLocation,state_desc,size from "
              "sys.master_files where database_id=db_id(N'Shop');");
    EXPECT_EQ(logFileQuery("O'Brien"), FakeSession::fileQuery("O'Brien"));
    EXPECT_NE(logFileQuery("O'Brien").find("db_id(N'O''Brien');"), std::string::npos);
    EXPECT_NE(logFileQuery("x'); DROP DATABASE y--").find("N'x''); DROP DATABASE y--');"),
              std::string::npos);
    EXPECT_EQ(logFileQuery("销售库"), FakeSession::fileQuery("销售库"));
}

struct IdentifierCase {
    std::string name;
    std::string identifier;
};

class SqlIdentifier : public ::testing::TestWithParam<IdentifierCase> {};

TEST_P(SqlIdentifier, KeepsPlainNamesAndBracketsTheRest) {
    EXPECT_EQ(sqlIdentifier(GetParam().name), GetParam().identifier);
    EXPECT_EQ(isPlainIdentifier(GetParam().name), GetParam().identifier == GetParam().name);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SqlIdentifier,
    ::testing::Values(
        IdentifierCase{"Shop", "Shop"}, IdentifierCase{"shop_2021", "shop_2021"},
        IdentifierCase{"_x", "_x"}, IdentifierCase{"a@b#c$d", "a@b#c$d"},
        IdentifierCase{"ReportServer$SQL2019", "ReportServer$SQL2019"},
        IdentifierCase{"2021data", "[2021data]"}, IdentifierCase{"@db", "[@db]"},
        IdentifierCase{"#tmp", "[#tmp]"}, IdentifierCase{"$x", "[$x]"},
        IdentifierCase{"my db", "[my db]"}, IdentifierCase{"a-b", "[a-b]"},
        IdentifierCase{"O'Brien", "[O'Brien]"},
        IdentifierCase{"a]b; DROP DATABASE x--", "[a]]b; DROP DATABASE x--]"},
        IdentifierCase{"]]", "[]]]]]"}, IdentifierCase{"select", "[select]"},
        IdentifierCase{"SELECT", "[SELECT]"}, IdentifierCase{"Database", "[Database]"},
        IdentifierCase{"user", "[user]"}, IdentifierCase{"Full", "[Full]"},
        IdentifierCase{"selection", "selection"}, IdentifierCase{"销售库", "[销售库]"},
        // 乚 (81 5D) ends in the byte of "]": the character is kept whole, not doubled.
        IdentifierCase{"\x81\x5D", "[\x81\x5D]"}, IdentifierCase{"a]\x81\x5D", "[a]]\x81\x5D]"},
        IdentifierCase{"", "[]"}));

TEST(SqlText, LiteralBodyDoublesQuoteCharacters) {
    EXPECT_EQ(sqlLiteralBody("O'Brien"), "O''Brien");
    EXPECT_EQ(sqlLiteralBody("''"), "''''");
    EXPECT_EQ(sqlLiteralBody("a]b"), "a]b");
    EXPECT_EQ(sqlLiteralBody("销售库"), "销售库");
}

struct StatementCase {
    std::string database;
    std::vector<std::string> statements;
};

class CleanupStatements : public ::testing::TestWithParam<StatementCase> {};

TEST_P(CleanupStatements, AreTheFourInOrder) {
    EXPECT_EQ(cleanupStatements(GetParam().database), GetParam().statements);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CleanupStatements,
    ::testing::Values(
        StatementCase{"Shop",
                      {"ALTER DATABASE Shop SET RECOVERY SIMPLE ", "USE Shop",
                       "DBCC SHRINKFILE (N'Shop_log' , 0, TRUNCATEONLY)",
                       "ALTER DATABASE Shop SET RECOVERY FULL"}},
        StatementCase{"O'Brien",
                      {"ALTER DATABASE [O'Brien] SET RECOVERY SIMPLE ", "USE [O'Brien]",
                       "DBCC SHRINKFILE (N'O''Brien_log' , 0, TRUNCATEONLY)",
                       "ALTER DATABASE [O'Brien] SET RECOVERY FULL"}},
        StatementCase{"a]b; DROP DATABASE x--",
                      {"ALTER DATABASE [a]]b; DROP DATABASE x--] SET RECOVERY SIMPLE ",
                       "USE [a]]b; DROP DATABASE x--]",
                       "DBCC SHRINKFILE (N'a]b; DROP DATABASE x--_log' , 0, TRUNCATEONLY)",
                       "ALTER DATABASE [a]]b; DROP DATABASE x--] SET RECOVERY FULL"}},
        StatementCase{"销售库",
                      {"ALTER DATABASE [销售库] SET RECOVERY SIMPLE ", "USE [销售库]",
                       "DBCC SHRINKFILE (N'销售库_log' , 0, TRUNCATEONLY)",
                       "ALTER DATABASE [销售库] SET RECOVERY FULL"}},
        StatementCase{"select",
                      {"ALTER DATABASE [select] SET RECOVERY SIMPLE ", "USE [select]",
                       "DBCC SHRINKFILE (N'select_log' , 0, TRUNCATEONLY)",
                       "ALTER DATABASE [select] SET RECOVERY FULL"}}));

}  // namespace
