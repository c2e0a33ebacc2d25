// The session failing under a listing or a cleanup: a dropped connection, a
// statement that outlasts the query timeout, a refused ALTER DATABASE. Each
// run ends within the timeouts, the window comes back to rest, and the next
// listing or cleanup works.
#include "FaultFixture.h"

namespace faults {
namespace {

using karvath::standin::Recovery;
using karvath::standin::State;
using Action = karvath::standin::StatementFault::Action;

// The system databases' logs are at server paths that do not exist here.
const Rows kSystemRows = {
    {"master_log", "0 KB"}, {"tempdb_log", "0 KB"}, {"model_log", "0 KB"}, {"msdb_log", "0 KB"}};

class SessionFaults : public FaultTest {
protected:
    // Shop: a log of 8 MB on disk that shrinks to 128 KB in simple recovery
    // and to 4 MB (its active part) in full recovery. Sales: 2 MB.
    void SetUp() override {
        State s = systemState(os.directory());
        addRealLog(s, "Shop", "Shop_log.ldf", 1024, 16).files[1].activePages = 512;
        addRealLog(s, "Sales", "Sales_log.ldf", 256, 8);
        serve(std::move(s));
        seedHistory();
        start();
    }
    std::int64_t shopPages() { return server().fileSizePages("Shop", "Shop_log").value_or(-1); }

    const Texts kShopStatements = {"ALTER DATABASE Shop SET RECOVERY SIMPLE ", "USE Shop",
                                   "DBCC SHRINKFILE (N'Shop_log' , 0, TRUNCATEONLY)",
                                   "ALTER DATABASE Shop SET RECOVERY FULL"};
    const Rows kLocalRows = {kSystemRows[0], kSystemRows[1],           kSystemRows[2],
                             kSystemRows[3], {"shop_log", "8.192 MB"}, {"sales_log", "2.048 MB"}};
};

TEST_F(SessionFaults, ConnectionDroppedInTheMiddleOfAListing) {
    // The connect's listing loses its connection at Shop's file query.
    server().addStatementFault({Action::DropConnection, "db_id(N'Shop')", false, 0, 0, "", 1});
    os.ipv4 = serverText();
    typeLogin(serverText());
    const auto took = timed([&] { view.click(按钮_连接); });

    EXPECT_LT(took, kHangLimit);
    EXPECT_EQ(view.messageTexts(), (Texts{"连接成功"}));
    // Rows up to the drop are right; the rest name no log.
    const Rows listed = rows();
    ASSERT_EQ(listed.size(), 6u);
    EXPECT_EQ(Rows(listed.begin(), listed.begin() + 4), kSystemRows);
    EXPECT_EQ(listed[4], (Row{"", "0 KB"}));
    EXPECT_EQ(view.state(按钮_连接).text, "已连接");
    EXPECT_TRUE(view.state(透明标签_log状态).enabled);
    expectHistoryKept();

    // A click on the list label redraws it on a new connection.
    view.press(透明标签_log状态);
    EXPECT_EQ(rows(), kLocalRows);
    EXPECT_EQ(view.state(透明标签_loading).text, "Loading");
    EXPECT_FALSE(view.state(透明标签_loading).visible);
}

TEST_F(SessionFaults, ConnectionDroppedInTheMiddleOfACleanup) {
    connect(true);
    choose("Shop");
    server().addStatementFault({Action::DropConnection, "USE Shop", false, 0, 0, "", 1});
    const std::size_t mark = server().statementTexts().size();

    const auto took = timed([&] { view.click(按钮_一键清理); });

    EXPECT_LT(took, kHangLimit);
    expectCleanupFinished();
    // Simple recovery went through before the drop; the database must not be
    // left there once the refresh has a connection again.
    const Texts sent = statementsSince(mark);
    ASSERT_GE(sent.size(), 2u);
    EXPECT_EQ(sent[0], kShopStatements[0]);
    EXPECT_EQ(sent.back(), kShopStatements[3]);
    EXPECT_EQ(server().recovery("Shop"), Recovery::Full);
    EXPECT_EQ(shopPages(), 1024);  // the shrink never ran
    EXPECT_EQ(rows(), kLocalRows);
    EXPECT_TRUE(activityLog().ends_with("  Shop清理完毕，共释放了0KB\r\n")) << activityLog();
    expectHistoryKept();

    // The next cleanup runs whole.
    view.click(按钮_一键清理);
    EXPECT_EQ(shopPages(), 16);
    EXPECT_EQ(server().recovery("Shop"), Recovery::Full);
    EXPECT_TRUE(activityLog().ends_with("  Shop清理完毕，共释放了8.064MB\r\n")) << activityLog();
}

TEST_F(SessionFaults, StatementDelayedPastTheQueryTimeoutDuringACleanup) {
    connect(true);
    choose("Shop");
    server().addStatementFault(
        {Action::Delay, "DBCC SHRINKFILE", false, (kTimeoutSeconds + 8) * 1000, 0, "", 1});
    const std::size_t mark = server().statementTexts().size();

    const auto took = timed([&] { view.click(按钮_一键清理); });

    EXPECT_LT(took, kHangLimit);
    expectCleanupFinished();
    // Cancelled by the timeout: nothing shrunk, the statement after it ran.
    EXPECT_EQ(statementsSince(mark), kShopStatements);
    EXPECT_EQ(shopPages(), 1024);
    EXPECT_EQ(server().recovery("Shop"), Recovery::Full);
    EXPECT_EQ(rows(), kLocalRows);
    EXPECT_TRUE(activityLog().ends_with("  Shop清理完毕，共释放了0KB\r\n")) << activityLog();
    expectHistoryKept();
}

TEST_F(SessionFaults, PermissionErrorOnAlterDatabase) {
    connect(true);
    choose("Shop");
    server().addStatementFault({Action::PermissionError, "ALTER DATABASE", false, 0, 5011, "", 0});
    const std::size_t mark = server().statementTexts().size();

    const auto took = timed([&] { view.click(按钮_一键清理); });

    EXPECT_LT(took, kHangLimit);
    expectCleanupFinished();
    // Every statement was still sent; the shrink ran in full recovery and
    // kept the log's active part.
    EXPECT_EQ(statementsSince(mark), kShopStatements);
    EXPECT_EQ(server().recovery("Shop"), Recovery::Full);
    EXPECT_EQ(shopPages(), 512);
    EXPECT_EQ(rows()[4], (Row{"shop_log", "4.096 MB"}));
    EXPECT_TRUE(activityLog().ends_with("  Shop清理完毕，共释放了4.096MB\r\n")) << activityLog();
    expectHistoryKept();
}

}  // namespace
}  // namespace faults
