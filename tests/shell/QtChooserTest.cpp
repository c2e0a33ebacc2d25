// The address chooser on the real Qt windows, driven with QTest, with the
// program's own handlers behind it.

#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>
#include <QTimer>
#include <functional>

#include "FakePlatform.h"
#include "FakeSession.h"
#include "VirtualClock.h"
#include "app/QtView.h"
#include "core/AppState.h"
#include "core/Karvath.h"
#include "shell/Dispatcher.h"
#include "sql/LogStatus.h"

namespace {

class QtChooserTest : public ::testing::Test {
protected:
    QtChooserTest() {
        os.processes["karvath"] = 1;
        os.host = "buildhost";
        os.ipv4 = "192.0.2.44";
        view.setEventSink(&dispatcher);
        view.loadWindow(Window::Main, false);  // no settings file: the window shows
        view.setText(编辑框_IP, "typed before");
    }

    // Clicks 本机 and runs `inChooser` once the chooser is up; returns when the
    // chooser is gone.
    void openChooser(std::function<void(QWidget* chooser)> inChooser) {
        QTimer::singleShot(20, [this, inChooser] {
            QWidget* chooser = view.window(Window::Chooser);
            ASSERT_NE(chooser, nullptr);
            mainDisabledMeanwhile = !view.window(Window::Main)->isEnabled();
            inChooser(chooser);
        });
        QTest::mouseClick(view.widget(按钮_获取本机ip), Qt::LeftButton);
    }

    VirtualClock clock;
    FakePlatform os{clock};
    FakeSession db;
    AppState state;
    QtView view{*static_cast<QApplication*>(QCoreApplication::instance())};
    Karvath k{state, view, os, db, "/opt/karvath", "karvath"};
    Dispatcher dispatcher{k};
    bool mainDisabledMeanwhile = false;
};

TEST_F(QtChooserTest, BothButtonsFillTheAddressBoxWithAValueThatCountsAsLocal) {
    struct Case {
        Control button;
        std::string expected;
    };
    for (const Case& c : {Case{按钮_主机名, "buildhost"}, Case{按钮_IP, "192.0.2.44"}}) {
        view.setText(编辑框_IP, "typed before");
        openChooser([&](QWidget*) { QTest::mouseClick(view.widget(c.button), Qt::LeftButton); });
        EXPECT_TRUE(mainDisabledMeanwhile);
        EXPECT_FALSE(view.windowExists(Window::Chooser));
        EXPECT_TRUE(view.window(Window::Main)->isEnabled());
        EXPECT_EQ(view.getText(编辑框_IP), c.expected);
        EXPECT_TRUE(isLocalServer(k));
    }
}

TEST_F(QtChooserTest, TheCloseButtonLeavesTheAddressBoxAsItWas) {
    openChooser([](QWidget* chooser) { chooser->close(); });
    EXPECT_TRUE(mainDisabledMeanwhile);
    EXPECT_FALSE(view.windowExists(Window::Chooser));
    EXPECT_TRUE(view.window(Window::Main)->isEnabled());
    EXPECT_EQ(view.getText(编辑框_IP), "typed before");
}

TEST_F(QtChooserTest, MainWindowClicksAreNotTakenWhileTheChooserIsOpen) {
    openChooser([this](QWidget* chooser) {
        QTest::mouseClick(view.widget(按钮_连接), Qt::LeftButton);
        chooser->close();
    });
    // The connect workflow never ran: no validation message, caption unchanged.
    EXPECT_EQ(view.getText(按钮_连接), "连接");
    EXPECT_TRUE(db.logins.empty());
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
