#include "ShellTestSupport.h"

namespace {

class TrayTest : public ShellTest {
protected:
    TrayTest() {
        saveSettings("[配置]\r\nip=10.0.0.5\r\n");  // starts hidden in the tray
        start();
    }
};

TEST_F(TrayTest, CloseHidesTheWindowAndKeepsEverythingRunning) {
    view.setVisible(Window::Main, true);
    view.setPeriod(时钟1, 1000);
    view.requestClose();
    EXPECT_FALSE(view.lastCloseAnswer());
    EXPECT_TRUE(view.windowExists(Window::Main));
    EXPECT_FALSE(view.windowVisible(Window::Main));
    ASSERT_TRUE(view.trayIcon().has_value());
    EXPECT_EQ(view.trayIcon()->second, "Karvath");
    EXPECT_EQ(view.state(时钟1).period, 1000);
    EXPECT_FALSE(view.finished());
}

TEST_F(TrayTest, TrayActions) {
    struct Case {
        int action;
        bool shown;
        int popups;
    };
    for (const Case& c : {Case{1, false, 0}, Case{2, true, 0}, Case{3, false, 1}}) {
        Program p;
        p.saveSettings("[配置]\r\nip=10.0.0.5\r\n");
        p.start();
        p.view.tray(c.action);
        EXPECT_EQ(p.view.windowVisible(Window::Main), c.shown) << c.action;
        EXPECT_EQ(p.view.normalStateSet(Window::Main), c.shown) << c.action;
        EXPECT_EQ(p.view.trayMenuPopups(), c.popups) << c.action;
    }
}

TEST_F(TrayTest, DoubleClickArrivingAsOneTwoOneShowsTheWindowOnce) {
    view.tray(1);
    EXPECT_FALSE(view.windowVisible(Window::Main));
    view.tray(2);
    view.tray(1);
    EXPECT_TRUE(view.windowVisible(Window::Main));
    EXPECT_EQ(view.trayMenuPopups(), 0);
}

TEST_F(TrayTest, ShowMainMenuEntryShowsAndRestoresTheWindow) {
    view.chooseInNextTrayMenu(显示主菜单);
    view.tray(3);
    EXPECT_TRUE(view.windowVisible(Window::Main));
    EXPECT_TRUE(view.normalStateSet(Window::Main));
}

TEST_F(TrayTest, ExitAnsweredNoChangesNothing) {
    view.answerMessages({MR_NO});
    view.chooseInNextTrayMenu(退出);
    view.tray(3);
    ASSERT_EQ(view.messages().size(), 1u);
    EXPECT_EQ(view.messages()[0].text, "是否退出程序?");
    EXPECT_EQ(view.messages()[0].title, "提示:");
    EXPECT_EQ(view.messages()[0].buttons, MB_YESNO);
    EXPECT_TRUE(view.windowExists(Window::Main));
    EXPECT_FALSE(view.finished());
}

TEST_F(TrayTest, ExitAnsweredYesEndsTheProgramAndWritesNothing) {
    const auto filesBefore = os.files;
    view.answerMessages({MR_YES});
    view.chooseInNextTrayMenu(退出);
    view.tray(3);
    EXPECT_FALSE(view.windowExists(Window::Main));
    EXPECT_EQ(view.trayIconsShown(), 0);
    EXPECT_TRUE(view.finished());
    EXPECT_EQ(os.files, filesBefore);
}

}  // namespace
