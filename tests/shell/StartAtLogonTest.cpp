#include "ShellTestSupport.h"

namespace {

using StartAtLogonTest = ShellTest;

TEST_F(StartAtLogonTest, CheckingRegistersTheRunningExecutable) {
    start();
    view.click(选择框_开机自启);
    ASSERT_TRUE(os.autostart.has_value());
    EXPECT_EQ(*os.autostart, "/opt/karvath/karvath");
    EXPECT_EQ(setting("配置", "开机自启"), "true");
    EXPECT_EQ(view.messageTexts(), std::vector<std::string>{"设置开机自启动成功！"});
    EXPECT_EQ(view.messages()[0].title, "信息：");
}

TEST_F(StartAtLogonTest, CheckingAgainFromAnotherDirectoryRepointsTheRegistration) {
    start();
    view.click(选择框_开机自启);
    view.click(选择框_开机自启);
    Program other;
    other.os.autostart = os.autostart;
    other.k.runDirectory = "/home/u/my tools";
    other.start();
    other.view.click(选择框_开机自启);
    EXPECT_EQ(*other.os.autostart, "/home/u/my tools/karvath");
}

TEST_F(StartAtLogonTest, FailedRegistrationShowsFailureAndWritesNothing) {
    os.autostartFails = true;
    start();
    view.click(选择框_开机自启);
    EXPECT_EQ(view.messageTexts(), std::vector<std::string>{"设置开机自启动失败！"});
    EXPECT_FALSE(os.exists(settingsFile()));
    EXPECT_TRUE(view.isChecked(选择框_开机自启));
}

TEST_F(StartAtLogonTest, UncheckingRemovesSilentlyEvenWhenNothingWasRegistered) {
    saveSettings("[配置]\r\n开机自启=true\r\n");
    start();
    ASSERT_TRUE(view.isChecked(选择框_开机自启));
    view.click(选择框_开机自启);
    EXPECT_FALSE(os.autostart.has_value());
    EXPECT_EQ(setting("配置", "开机自启"), "false");
    EXPECT_TRUE(view.messages().empty());
}

}  // namespace
