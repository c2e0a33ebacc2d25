// Unattended mode switched off while the scheduled check's cleanup is waiting
// between its statements: the session is closed under it, the remaining
// statements fail quietly, the check still saves the activity log, and the
// window can connect again.
#include <algorithm>
#include <fstream>

#include "FaultFixture.h"
#include "core/Settings.h"

namespace faults {
namespace {

using karvath::standin::Recovery;
using karvath::standin::State;

class UnattendedFaults : public FaultTest {
protected:
    // Shop's log is a gigabyte on disk: the check cleans it.
    void SetUp() override {
        State s = systemState(os.directory());
        addRealLog(s, "Shop", "Shop_log.ldf", 131072, 16);
        serve(std::move(s));
        seedHistory();
        start();
    }
};

TEST_F(UnattendedFaults, SwitchedOffInTheMiddleOfAScheduledCleanup) {
    connect(true);
    choose("Shop");
    clock.set(2021, 3, 15, 9, 0, 0);
    armDailyCheck(9, 0, 3);
    // The check runs at 3000 ms; its cleanup sends the switch to simple
    // recovery at 3500 ms and waits until 4000 ms for the next statement.
    std::size_t mark = 0;
    view.at(2500, [&] { mark = server().statementTexts().size(); });
    view.at(3700, [&] { view.click(选择框1); });

    const auto took = timed([&] { view.runFor(8000); });

    EXPECT_LT(took, kHangLimit);
    // Switched off: the disconnected window, the tick stopped, saved as off.
    EXPECT_FALSE(view.state(选择框1).checked);
    EXPECT_FALSE(view.state(选择框1).enabled);
    EXPECT_EQ(view.state(时钟1).period, 0);
    EXPECT_EQ(readSetting(os, settingsFile(), "配置", "是否挂机"), "否");
    EXPECT_EQ(view.state(按钮_连接).text, "连接");
    EXPECT_TRUE(view.state(按钮_连接).enabled);
    EXPECT_EQ(view.state(透明标签_loading).text, "Loading");
    EXPECT_EQ(view.state(进度条1).position, 100);
    EXPECT_EQ(view.messageTexts(), (Texts{"连接成功"}));

    // The statements after the switch had no session; the log was not shrunk,
    // and the database is not left in simple recovery.
    const Texts sent = statementsSince(mark);
    ASSERT_FALSE(sent.empty());
    EXPECT_EQ(sent[0], "ALTER DATABASE Shop SET RECOVERY SIMPLE ");
    EXPECT_EQ(std::count(sent.begin(), sent.end(), "USE Shop"), 0);
    EXPECT_EQ(server().fileSizePages("Shop", "Shop_log"), 131072);
    EXPECT_EQ(server().recovery("Shop"), Recovery::Full);

    // The check's lines, the cleanup's report, and all of it in log.txt.
    const std::string log = activityLog();
    EXPECT_EQ(log.rfind(kSeededLog + "2021年3月15日9时0分3秒  Shop检测到日志大小1048.576MB\r\n"
                                     "2021年3月15日9时0分3秒  Shop检测到日志大小1.048576GB\r\n",
                        0),
              0u)
        << log;
    EXPECT_TRUE(log.ends_with("  Shop清理完毕，共释放了0KB\r\n")) << log;
    std::ifstream in(logFile(), std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()),
              log);
    expectHistoryKept();

    // The user connects again and cleans by hand.
    typeLogin(serverText());
    view.click(按钮_连接);
    EXPECT_EQ(view.messages().back().text, "连接成功");
    choose("Shop");
    view.click(按钮_一键清理);
    EXPECT_EQ(server().fileSizePages("Shop", "Shop_log"), 16);
    EXPECT_EQ(server().recovery("Shop"), Recovery::Full);
}

}  // namespace
}  // namespace faults
