#include "ShellTestSupport.h"

#include "sql/LogStatus.h"

namespace {

class AddressChooserTest : public ShellTest {
protected:
    AddressChooserTest() {
        start();
        view.type(编辑框_IP, "old");
    }
};

TEST_F(AddressChooserTest, EitherButtonFillsTheBoxClosesTheChooserAndCountsAsLocal) {
    struct Case {
        Control button;
        std::string host;
        std::string expected;
    };
    for (const Case& c : {Case{按钮_IP, "testhost", "192.0.2.10"}, Case{按钮_主机名, "testhost", "testhost"},
                          Case{按钮_主机名, "exactly15chars_", "exactly15chars_"}}) {
        Program p;
        p.os.host = c.host;
        p.start();
        bool mainDisabledMeanwhile = false;
        p.view.duringNextModal([&] {
            mainDisabledMeanwhile = !p.view.windowEnabled(Window::Main);
            p.view.click(c.button);
        });
        p.view.click(按钮_获取本机ip);
        EXPECT_TRUE(mainDisabledMeanwhile);
        EXPECT_EQ(p.view.getText(编辑框_IP), c.expected);
        EXPECT_FALSE(p.view.windowExists(Window::Chooser));
        EXPECT_TRUE(p.view.windowEnabled(Window::Main));
        EXPECT_TRUE(isLocalServer(p.k)) << c.expected;
    }
}

TEST_F(AddressChooserTest, LongOrMissingHostNameEmptiesTheBox) {
    for (const std::string host : {"a-host-name-of-16", ""}) {
        Program p;
        p.os.host = host;
        p.start();
        p.view.type(编辑框_IP, "old");
        p.view.duringNextModal([&] { p.view.click(按钮_主机名); });
        p.view.click(按钮_获取本机ip);
        EXPECT_EQ(p.view.getText(编辑框_IP), "") << host;
    }
}

TEST_F(AddressChooserTest, ClosingTheChooserLeavesTheBoxUnchanged) {
    view.duringNextModal([] {});
    view.click(按钮_获取本机ip);
    EXPECT_EQ(view.getText(编辑框_IP), "old");
    EXPECT_FALSE(view.windowExists(Window::Chooser));
    EXPECT_TRUE(view.windowEnabled(Window::Main));
}

TEST_F(AddressChooserTest, MainWindowTakesNoClicksWhileTheChooserIsOpen) {
    view.duringNextModal([&] {
        view.click(按钮_连接);
        view.click(按钮_获取本机ip);
    });
    view.click(按钮_获取本机ip);
    EXPECT_TRUE(view.messages().empty());
    EXPECT_EQ(view.getText(按钮_连接), "连接");
}

TEST_F(AddressChooserTest, TimerTicksKeepComingWhileTheChooserIsOpen) {
    // Unattended with a daily schedule due in the second the chooser is open.
    view.setChecked(选择框_每天, true);
    view.setText(编辑框_时, "9");
    view.setText(编辑框_分, "2");
    view.setText(编辑框_秒, "4");
    state.selectedDatabase = "Shop";
    view.setPeriod(时钟1, 1000);
    view.duringNextModal([&] { view.waitProcessingEvents(1500); });
    view.click(按钮_获取本机ip);
    EXPECT_NE(view.getText(编辑框_log).find("Shop检测到日志大小"), std::string::npos);
}

}  // namespace
