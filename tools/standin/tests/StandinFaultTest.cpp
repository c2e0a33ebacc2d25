// Injected faults as the SQL layer will meet them through unixODBC + FreeTDS.
#include <chrono>
#include <thread>

#include "StandinTestSupport.h"

namespace karvath::standin::test {
namespace {

using Clock = std::chrono::steady_clock;
using Action = StatementFault::Action;

constexpr const char* kCount = "SELECT count(NAME) FROM MASTER.DBO.SYSDATABASES";
constexpr const char* kNames = "SELECT NAME FROM MASTER.DBO.SYSDATABASES";

bool hasState(const std::vector<Diagnostic>& d, const std::string& state) {
    for (const Diagnostic& x : d) {
        if (x.sqlState == state) return true;
    }
    return false;
}

TEST_F(StandinOdbcTest, WrongPasswordIsRefusedWith18456) {
    OdbcConnection c;
    EXPECT_FALSE(c.connect(connectionString("not-the-password")));
    bool found = false;
    for (const Diagnostic& d : c.connectDiagnostics()) {
        if (d.nativeError == 18456) {
            found = true;
            EXPECT_NE(d.message.find("Login failed for user 'sa'."), std::string::npos);
        }
    }
    EXPECT_TRUE(found);
    const auto logins = server_->logins();
    ASSERT_FALSE(logins.empty());
    EXPECT_EQ(logins.back().password, "not-the-password");
    EXPECT_FALSE(logins.back().accepted);
    // The server keeps serving.
    auto ok = connect();
    EXPECT_TRUE(ok->execute(kCount).ok);
}

TEST_F(StandinOdbcTest, RefusedAndDelayedLogins) {
    Faults refuse;
    refuse.refuseLogins = true;
    server_->setFaults(refuse);
    OdbcConnection refused;
    EXPECT_FALSE(refused.connect(connectionString()));

    Faults slow;
    slow.loginDelayMs = 300;
    server_->setFaults(slow);
    const auto start = Clock::now();
    auto c = connect();
    EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(300));
    EXPECT_TRUE(c->execute(kCount).ok);

    // A login slower than the client's login timeout fails on the client's side.
    slow.loginDelayMs = 3000;
    server_->setFaults(slow);
    OdbcConnection late;
    EXPECT_FALSE(late.connect(connectionString(), 1));
}

TEST_F(StandinOdbcTest, EncryptionDemandedByTheClientIsRefused) {
    OdbcConnection c;
    EXPECT_FALSE(c.connect(connectionString(kPassword, "Encryption=require;")));
    EXPECT_TRUE(server_->logins().empty());
}

TEST_F(StandinOdbcTest, QueryTimeoutCancelsADelayedStatement) {
    server_->addStatementFault({Action::Delay, "DBCC SHRINKFILE", false, 5000, 0, "", 0});
    auto c = connect();
    ASSERT_TRUE(c->execute("USE Shop").ok);
    const auto start = Clock::now();
    const Result r = c->execute("DBCC SHRINKFILE (N'Shop_log' , 0, TRUNCATEONLY)", 1);
    const auto took = Clock::now() - start;
    EXPECT_FALSE(r.ok);
    EXPECT_TRUE(hasState(r.diagnostics, "HYT00")) << r.messages();
    EXPECT_LT(took, std::chrono::milliseconds(4000));
    // Cancelled: the log was not shrunk, and the connection goes on.
    EXPECT_EQ(server_->fileSizePages("Shop", "Shop_log"), 10000);
    const Result next = c->execute(kCount);
    EXPECT_TRUE(next.ok) << next.messages();
    EXPECT_EQ(next.rows.size(), 1u);
}

TEST_F(StandinOdbcTest, DelayShorterThanTheTimeoutOnlySlowsDown) {
    server_->addStatementFault({Action::Delay, "^select count", true, 200, 0, "", 1});
    auto c = connect();
    const auto start = Clock::now();
    const Result r = c->execute(kCount, 5);
    EXPECT_TRUE(r.ok) << r.messages();
    EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(200));
    EXPECT_TRUE(server_->faults().statements.empty());  // fired its one time
}

TEST_F(StandinOdbcTest, PermissionErrors) {
    struct Case {
        int number;
        const char* text;
    };
    const Case cases[] = {
        {5011,
         "User does not have permission to alter database 'Shop', the database does not exist, "
         "or the database is not in a state that allows access checks."},
        {15247, "User does not have permission to perform this action."},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.number);
        Faults f;
        f.statements.push_back(
            {Action::PermissionError, "ALTER DATABASE", false, 0, k.number, "", 0});
        server_->setFaults(f);
        auto c = connect();
        const Result r = c->execute("ALTER DATABASE Shop SET RECOVERY SIMPLE ");
        EXPECT_FALSE(r.ok);
        ASSERT_FALSE(r.diagnostics.empty());
        EXPECT_EQ(r.diagnostics[0].nativeError, k.number);
        EXPECT_NE(r.diagnostics[0].message.find(k.text), std::string::npos) << r.messages();
        EXPECT_EQ(server_->recovery("Shop"), Recovery::Full);
        EXPECT_TRUE(c->execute("USE Shop").ok);
    }
}

TEST_F(StandinOdbcTest, DroppedConnections) {
    {
        SCOPED_TRACE("on a matching statement");
        Faults f;
        f.statements.push_back({Action::DropConnection, "USE ", false, 0, 0, "", 0});
        server_->setFaults(f);
        auto c = connect();
        EXPECT_TRUE(c->execute(kCount).ok);
        const Result r = c->execute("USE Shop");
        EXPECT_FALSE(r.ok);
        // FreeTDS reports the lost connection as its own error 20017 (or 08S01 on a write).
        EXPECT_TRUE(r.hasNative(20017) || hasState(r.diagnostics, "08S01")) << r.messages();
        EXPECT_FALSE(c->execute(kCount).ok);
    }
    {
        SCOPED_TRACE("right after login");
        Faults f;
        f.dropAfterLogin = true;
        server_->setFaults(f);
        OdbcConnection c;
        if (c.connect(connectionString())) {
            EXPECT_FALSE(c.execute(kCount).ok);
        }
    }
    {
        SCOPED_TRACE("after two requests");
        Faults f;
        f.dropAfterStatements = 2;
        server_->setFaults(f);
        const std::size_t before = server_->statements().size();
        auto c = connect();
        // The driver's own requests after login count too.
        const std::size_t driverRequests = server_->statements().size() - before;
        bool failed = false;
        for (std::size_t i = driverRequests; i < 3; ++i) failed = failed || !c->execute(kCount).ok;
        EXPECT_TRUE(failed);
    }
}

TEST_F(StandinOdbcTest, DatabaseDroppedBetweenCountAndNames) {
    server_->addStatementFault({Action::DropDatabase, kCount, false, 0, 0, "Odd", 1});
    auto c = connect();
    const Result count = c->execute(kCount);
    EXPECT_EQ(count.rows.at(0).at(0), "8");
    const Result names = c->execute(kNames);
    EXPECT_EQ(names.rows.size(), 7u);
    EXPECT_FALSE(server_->recovery("Odd"));
}

TEST_F(StandinOdbcTest, StopEndsOpenAndWaitingConnections) {
    server_->addStatementFault({Action::Delay, "USE", false, 60000, 0, "", 0});
    auto idle = connect();
    auto busy = connect();
    std::thread waiting([&] { busy->execute("USE Shop", 0); });
    while (server_->statementTexts().empty() || server_->statementTexts().back() != "USE Shop") {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    server_->stop();  // joins every connection thread, the delayed one included
    waiting.join();
    EXPECT_FALSE(idle->execute(kCount).ok);
}

}  // namespace
}  // namespace karvath::standin::test
