// Connecting to a server that cannot be reached or will not let the user in:
// the attempt ends within the login timeout with "连接失败", and the window is
// ready for the next attempt, which succeeds once the server is back.
#include <filesystem>
#include <fstream>

#include "FaultFixture.h"

namespace faults {
namespace {

namespace fs = std::filesystem;
using karvath::standin::Faults;

enum class Unreachable { ClosedPort, SilentListener, LoginRefused, LoginDelayed };

struct ConnectCase {
    const char* name;
    Unreachable fault;
};

void PrintTo(const ConnectCase& c, std::ostream* os) { *os << c.name; }

class ConnectFaults : public FaultTest, public ::testing::WithParamInterface<ConnectCase> {
protected:
    // The address the user types for this fault; the stand-in itself is
    // healthy unless the fault is in its logins.
    std::string faultyServer() {
        switch (GetParam().fault) {
            case Unreachable::ClosedPort:
                return Standin::closedPortServerText();
            case Unreachable::SilentListener:
                return serverTextFor(silent.port());
            case Unreachable::LoginRefused: {
                Faults f;
                f.refuseLogins = true;
                server().setFaults(f);
                return serverText();
            }
            case Unreachable::LoginDelayed: {
                Faults f;
                f.loginDelayMs = (kTimeoutSeconds + 3) * 1000;
                server().setFaults(f);
                return serverText();
            }
        }
        return {};
    }

    SilentListener silent;
};

TEST_P(ConnectFaults, FailWithinTheLoginTimeoutAndLeaveTheWindowReadyToRetry) {
    ASSERT_NE(silent.port(), 0);
    serve(systemState(os.directory()));
    seedHistory();
    start();
    const std::string settingsBefore = settingsBytes();

    typeLogin(faultyServer());
    const auto took = timed([&] { view.click(按钮_连接); });

    EXPECT_LT(took, kHangLimit);
    EXPECT_EQ(view.messageTexts(), (Texts{"连接失败"}));
    EXPECT_EQ(state.connectResult, "连接失败");
    expectReadyToConnect();
    EXPECT_TRUE(rows().empty());
    EXPECT_TRUE(items().empty());
    EXPECT_EQ(settingsBytes(), settingsBefore);  // nothing saved from a failed attempt
    expectHistoryKept();
    EXPECT_FALSE(fs::exists(os.temp + "~sqlsrv.dsn"));
    if (GetParam().fault == Unreachable::SilentListener) {
        EXPECT_GE(silent.accepted(), 1);
    }

    // The server is back: the same window connects.
    server().setFaults({});
    typeLogin(serverText());
    view.click(按钮_连接);
    EXPECT_EQ(view.messageTexts(), (Texts{"连接失败", "连接成功"}));
    EXPECT_EQ(view.state(按钮_连接).text, "已连接");
    EXPECT_EQ(items(), (Texts{"master", "tempdb", "model", "msdb"}));
    expectHistoryKept();
}

INSTANTIATE_TEST_SUITE_P(
    Row, ConnectFaults,
    ::testing::Values(ConnectCase{"ClosedPort", Unreachable::ClosedPort},
                      ConnectCase{"SilentListener", Unreachable::SilentListener},
                      ConnectCase{"LoginRefused", Unreachable::LoginRefused},
                      ConnectCase{"LoginDelayedPastTheTimeout", Unreachable::LoginDelayed}),
    [](const auto& info) { return std::string(info.param.name); });

// At an unattended start the reconnect meets the same faults: it stays
// silent, the switch stays on with its timer, and the user can connect.
class UnattendedStartFaults : public ConnectFaults {};

TEST_P(UnattendedStartFaults, LeaveTheSwitchOnAndTheConnectButtonUsable) {
    ASSERT_NE(silent.port(), 0);
    serve(systemState(os.directory()));
    const std::string address = faultyServer();
    std::ofstream(settingsFile(), std::ios::binary)
        << "[配置]\r\nip=" << address << "\r\n用户名=sa\r\n密码=" << Standin::kPassword
        << "\r\n是否挂机=是\r\n指定库=msdb\r\n";
    const std::string settingsBefore = settingsBytes();

    const auto took = timed([&] { start(); });

    EXPECT_LT(took, kHangLimit);
    EXPECT_TRUE(view.messages().empty());
    EXPECT_TRUE(view.state(选择框1).checked);
    EXPECT_FALSE(view.state(选择框1).enabled);
    EXPECT_EQ(view.state(时钟1).period, 1000);
    expectReadyToConnect();
    EXPECT_EQ(view.state(编辑框_IP).text, address);
    EXPECT_EQ(state.selectedDatabase, "msdb");
    EXPECT_EQ(settingsBytes(), settingsBefore);

    server().setFaults({});
    typeLogin(serverText());
    view.click(按钮_连接);
    EXPECT_EQ(view.messageTexts(), (Texts{"连接成功"}));
}

INSTANTIATE_TEST_SUITE_P(
    Row, UnattendedStartFaults,
    ::testing::Values(ConnectCase{"ClosedPort", Unreachable::ClosedPort},
                      ConnectCase{"SilentListener", Unreachable::SilentListener},
                      ConnectCase{"LoginRefused", Unreachable::LoginRefused},
                      ConnectCase{"LoginDelayedPastTheTimeout", Unreachable::LoginDelayed}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace faults
