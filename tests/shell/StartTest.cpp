#include "ShellTestSupport.h"

namespace {

using StartTest = ShellTest;

TEST_F(StartTest, SecondCopyIsRefusedWithoutWindowOrTrayIcon) {
    os.processes["karvath"] = 2;
    saveSettings("[配置]\r\nip=10.0.0.5\r\n是否挂机=是\r\n");
    start();
    EXPECT_EQ(view.messageTexts(), std::vector<std::string>{"程序已经启动"});
    EXPECT_EQ(view.messages()[0].title, "信息：");
    EXPECT_FALSE(view.windowExists(Window::Main));
    EXPECT_TRUE(view.finished());
    EXPECT_EQ(view.trayIconsShown(), 0);
    // Nothing of the saved state was restored: no reconnect was tried.
    EXPECT_TRUE(db.logins.empty());
    EXPECT_EQ(view.state(时钟1).period, 0);
}

TEST_F(StartTest, CopiesUnderOtherNamesDoNotCount) {
    os.processes["karvath"] = 1;
    os.processes["karvath-old"] = 3;
    start();
    EXPECT_TRUE(view.windowExists(Window::Main));
    EXPECT_TRUE(view.messages().empty());
}

TEST_F(StartTest, UnreadableProcessListCountsAsSingleCopy) {
    os.processListReadable = false;
    start();
    EXPECT_TRUE(view.windowExists(Window::Main));
    EXPECT_TRUE(view.messages().empty());
}

TEST_F(StartTest, WindowShowsOnlyWithoutSettingsFileAndTrayIconIsUpEitherWay) {
    struct Case {
        bool settingsExist;
        bool settingsIsDirectory;
        bool visible;
    };
    for (const Case& c : {Case{false, false, true}, Case{true, false, false}, Case{false, true, false}}) {
        Program p;
        if (c.settingsExist) p.saveSettings("[配置]\r\nip=x\r\n");
        if (c.settingsIsDirectory) p.os.directories.insert(p.settingsFile());
        p.start();
        EXPECT_EQ(p.view.windowVisible(Window::Main), c.visible) << c.settingsExist << c.settingsIsDirectory;
        ASSERT_TRUE(p.view.trayIcon().has_value());
        EXPECT_EQ(p.view.trayIcon()->second, "Karvath");
        EXPECT_EQ(p.view.trayIcon()->first, p.view.windowIcon(Window::Main));
    }
}

TEST_F(StartTest, NoSettingsFileLeavesEverythingEmptyAndOff) {
    start();
    EXPECT_EQ(view.getText(编辑框_IP), "");
    EXPECT_EQ(view.getText(编辑框_用户名), "");
    EXPECT_EQ(view.getText(编辑框_密码), "");
    EXPECT_EQ(state.selectedDatabase, "");
    EXPECT_FALSE(view.isChecked(选择框1));
    EXPECT_FALSE(view.isChecked(选择框_开机自启));
    EXPECT_EQ(view.state(时钟1).period, 0);
    for (Control c : {选择框_每月, 选择框_每周, 选择框_每天}) {
        EXPECT_FALSE(view.isChecked(c));
        EXPECT_TRUE(view.state(c).enabled);
    }
    EXPECT_FALSE(view.state(编辑框_时).visible);
    EXPECT_TRUE(db.logins.empty());
}

TEST_F(StartTest, SavedLoginDatabaseAndWeeklyScheduleComeBack) {
    saveSettings(
        "[配置]\r\nip=10.0.0.5\r\n用户名=sa\r\n密码=pw\r\n是否挂机=否\r\n指定库=Shop\r\n"
        "[定时配置]\r\n模式=每周一次\r\n星期=星期三\r\n时=08\r\n分=30\r\n秒=0\r\n");
    start();
    EXPECT_EQ(view.getText(编辑框_IP), "10.0.0.5");
    EXPECT_EQ(view.getText(编辑框_用户名), "sa");
    EXPECT_EQ(view.getText(编辑框_密码), "pw");
    EXPECT_EQ(state.selectedDatabase, "Shop");
    EXPECT_TRUE(view.isChecked(选择框_每周));
    EXPECT_FALSE(view.state(选择框_每月).enabled);
    EXPECT_FALSE(view.state(选择框_每天).enabled);
    EXPECT_EQ(view.itemText(组合框_星期, view.currentIndex(组合框_星期)), "星期三");
    EXPECT_EQ(view.getText(编辑框_时), "08");
    EXPECT_EQ(view.getText(编辑框_分), "30");
    EXPECT_EQ(view.getText(编辑框_秒), "0");
    // Restored in Editing, not Locked.
    EXPECT_TRUE(view.state(按钮_确定).visible);
    EXPECT_TRUE(view.state(按钮_确定).enabled);
    EXPECT_FALSE(view.isChecked(选择框1));
    EXPECT_EQ(view.state(时钟1).period, 0);
    EXPECT_TRUE(db.logins.empty());  // not unattended: no reconnect
}

TEST_F(StartTest, StartAtLogonBoxFollowsExactTrueOnly) {
    for (const char* value : {"true", "TRUE", "True", "false", "", " true1"}) {
        Program p;
        p.saveSettings(std::string("[配置]\r\n开机自启=") + value + "\r\n");
        p.start();
        EXPECT_EQ(p.view.isChecked(选择框_开机自启), std::string(value) == "true") << value;
    }
}

TEST_F(StartTest, UnattendedStartReconnectsAndFillsTheListsMeasuredOnDisk) {
    saveSettings(
        "[配置]\r\nip=10.0.0.5\r\n用户名=sa\r\n密码=pw\r\n是否挂机=是\r\n指定库=shop\r\n");
    db.setDatabases({{"master", "/data/master_log.ldf", 100}, {"Shop", "/data/Shop_log.ldf", 200}});
    os.sizes["/data/master_log.ldf"] = 2048;
    os.sizes["/data/Shop_log.ldf"] = 4096 * 1024;
    start();

    ASSERT_FALSE(db.logins.empty());
    EXPECT_EQ(db.logins[0].server, "10.0.0.5");
    EXPECT_EQ(db.logins[0].login, "sa");
    EXPECT_EQ(db.logins[0].password, "pw");
    EXPECT_EQ(db.logins[0].database, "master");
    EXPECT_EQ(state.serverAddress, "10.0.0.5");
    EXPECT_TRUE(db.isOpen());

    EXPECT_TRUE(view.isChecked(选择框1));
    EXPECT_TRUE(view.state(选择框1).enabled);
    EXPECT_EQ(view.state(时钟1).period, 1000);
    EXPECT_EQ(view.getText(按钮_连接), "已连接");
    EXPECT_FALSE(view.state(按钮_连接).enabled);
    EXPECT_TRUE(view.state(按钮_一键清理).enabled);
    EXPECT_FALSE(view.state(按钮_获取本机ip).enabled);
    for (Control c : {编辑框_IP, 编辑框_用户名, 编辑框_密码}) EXPECT_FALSE(view.state(c).enabled);
    EXPECT_TRUE(view.state(透明标签_log状态).enabled);

    // The address is remote, yet the sizes come from the disk (4 MB file, not 200 pages).
    const auto& rows = view.state(超级列表框1).rows;
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[1][0], "shop_log");
    EXPECT_EQ(rows[1][1], "4.096 MB");
    EXPECT_EQ(rows[0][1], "2 KB");

    // The saved name selects the first item that begins with it, case ignored,
    // in a database box left disabled.
    EXPECT_EQ(view.itemText(组合框_库名, view.currentIndex(组合框_库名)), "Shop");
    EXPECT_FALSE(view.state(组合框_库名).enabled);
    EXPECT_EQ(state.selectedDatabase, "shop");
    EXPECT_TRUE(view.messages().empty());
    // Hidden in the tray: settings exist.
    EXPECT_FALSE(view.windowVisible(Window::Main));
}

TEST_F(StartTest, SavedDatabaseMissingOnServerKeepsSelectionEmptyButName) {
    saveSettings("[配置]\r\nip=h\r\n用户名=sa\r\n密码=pw\r\n是否挂机=是\r\n指定库=Gone\r\n");
    db.setDatabases({{"master", "/data/master_log.ldf", 100}});
    start();
    EXPECT_EQ(view.currentIndex(组合框_库名), -1);
    EXPECT_EQ(state.selectedDatabase, "Gone");
}

TEST_F(StartTest, NoSavedDatabaseSelectsNothingSoACleanupAsksForOne) {
    saveSettings("[配置]\r\nip=h\r\n用户名=sa\r\n密码=pw\r\n是否挂机=是\r\n");
    db.setDatabases({{"master", "/data/master_log.ldf", 100}});
    start();
    EXPECT_EQ(view.currentIndex(组合框_库名), -1);
    view.click(按钮_一键清理);
    EXPECT_EQ(view.messageTexts(), std::vector<std::string>{"请指定数据库"});
    EXPECT_TRUE(db.statements.empty());
}

TEST_F(StartTest, FailedUnattendedReconnectIsSilent) {
    saveSettings("[配置]\r\nip=10.0.0.5\r\n用户名=sa\r\n密码=pw\r\n是否挂机=是\r\n");
    db.loginsSucceed = false;
    start();
    EXPECT_EQ(db.logins.size(), 1u);
    EXPECT_TRUE(view.messages().empty());
    EXPECT_TRUE(view.isChecked(选择框1));
    EXPECT_FALSE(view.state(选择框1).enabled);
    EXPECT_EQ(view.state(时钟1).period, 1000);
    EXPECT_EQ(view.getText(按钮_连接), "连接");
    EXPECT_TRUE(view.state(按钮_连接).enabled);
    EXPECT_TRUE(view.state(编辑框_IP).enabled);
    EXPECT_TRUE(view.state(超级列表框1).rows.empty());
}

TEST_F(StartTest, UnattendedOnlyForExactYes) {
    struct Case {
        const char* value;
        bool on;
    };
    // Blanks around a value are stripped on read; anything but 是 is off.
    for (const Case& c : {Case{"是", true}, Case{" 是 ", true}, Case{"否", false}, Case{"yes", false},
                          Case{"", false}}) {
        Program p;
        p.saveSettings(std::string("[配置]\r\n是否挂机=") + c.value + "\r\n");
        p.db.loginsSucceed = false;
        p.start();
        EXPECT_EQ(p.view.isChecked(选择框1), c.on) << c.value;
        EXPECT_EQ(p.view.state(时钟1).period, c.on ? 1000 : 0) << c.value;
        EXPECT_EQ(p.db.logins.size(), c.on ? 1u : 0u) << c.value;
    }
}

}  // namespace
