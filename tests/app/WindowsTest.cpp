// Windows, message boxes, the tray icon and its menu, and the event loop.

#include <QAbstractButton>
#include <QCursor>
#include <QElapsedTimer>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QSystemTrayIcon>
#include <QTest>
#include <QTimer>

#include "AppFixture.h"

namespace {

using WindowsTest = AppTest;

// Runs `act` on the modal box or pop-up once it is up.
void whenModalUp(std::function<void(QWidget*)> act) {
    // The pending timer holds the only strong reference to the poll.
    auto poll = std::make_shared<std::function<void()>>();
    std::weak_ptr<std::function<void()>> self = poll;
    *poll = [act, self] {
        QWidget* up = QApplication::activePopupWidget();
        if (!up) up = QApplication::activeModalWidget();
        if (up && up->isVisible()) {
            act(up);
        } else if (auto again = self.lock()) {
            QTimer::singleShot(10, [again] { (*again)(); });
        }
    };
    QTimer::singleShot(10, [poll] { (*poll)(); });
}

QAbstractButton* buttonOf(QWidget* box, QMessageBox::StandardButton which) {
    return static_cast<QMessageBox*>(box)->button(which);
}

TEST_F(WindowsTest, ACloseRequestClosesOnlyWhenTheHandlerAgrees) {
    showMain();
    sink.allowClose = false;
    mainWindow()->close();
    EXPECT_EQ(sink.count(Received::CloseRequested), 1);
    EXPECT_TRUE(view->windowExists(Window::Main));
    sink.allowClose = true;
    mainWindow()->close();
    EXPECT_EQ(sink.count(Received::CloseRequested), 2);
    EXPECT_FALSE(view->windowExists(Window::Main));
    EXPECT_EQ(view->widget(按钮_连接), nullptr);
}

TEST_F(WindowsTest, DestroyingWaitsForTheNextDeliveryAndAsksNobody) {
    view->setTrayIcon(Window::Main, view->windowIcon(Window::Main), "Karvath");
    view->destroyWindow(Window::Main);
    EXPECT_TRUE(view->windowExists(Window::Main)) << "not before the handler returns";
    EXPECT_NE(view->trayIcon(Window::Main), nullptr);
    QApplication::processEvents();
    EXPECT_FALSE(view->windowExists(Window::Main));
    EXPECT_EQ(view->trayIcon(Window::Main), nullptr) << "the tray icon goes with its window";
    EXPECT_EQ(sink.count(Received::CloseRequested), 0);
    // Operations on a destroyed window's controls do nothing.
    view->setText(编辑框_IP, "x");
    EXPECT_EQ(view->getText(编辑框_IP), "");
}

TEST_F(WindowsTest, TheLoopEndsWithTheLastWindowButNotInsideAWait) {
    qint64 waited = -1;
    bool destroyedInsideTheWait = false;
    QTimer::singleShot(0, [&] {
        view->destroyWindow(Window::Main);
        QElapsedTimer clock;
        clock.start();
        view->waitProcessingEvents(300);
        waited = clock.elapsed();
        destroyedInsideTheWait = !view->windowExists(Window::Main);
    });
    EXPECT_EQ(view->runEventLoop(), 0);
    EXPECT_GE(waited, 300) << "the wait ran to its end";
    EXPECT_TRUE(destroyedInsideTheWait);
}

TEST_F(WindowsTest, WithoutAWindowTheLoopDoesNotRun) {
    view.reset();
    sink.onCreated = [&] {
        view->destroyWindow(Window::Main);
        view->waitProcessingEvents(1);
    };
    view = std::make_unique<QtView>(*static_cast<QApplication*>(QCoreApplication::instance()));
    view->setEventSink(&sink);
    view->loadWindow(Window::Main, false);
    EXPECT_FALSE(view->windowExists(Window::Main));
    EXPECT_EQ(view->runEventLoop(), 0);
}

TEST_F(WindowsTest, TheChooserIsModalAndKeepsEventsFlowing) {
    showMain();
    view->setPeriod(时钟1, 30);
    bool mainDisabledMeanwhile = false, chooserShown = false;
    int ticksBefore = 0;
    sink.onClicked = [&](Control c) {
        if (c == 按钮_IP) {
            view->setText(编辑框_IP, "192.0.2.7");
            view->destroyWindow(Window::Chooser);
        }
    };
    QTimer::singleShot(20, [&] {
        QWidget* chooser = view->window(Window::Chooser);
        chooserShown = chooser && chooser->isVisible();
        mainDisabledMeanwhile = !mainWindow()->isEnabled();
        mainWindow()->close();  // refused without asking
        ticksBefore = sink.count(Received::Tick);
        QTimer::singleShot(150, [&] { QTest::mouseClick(view->widget(按钮_IP), Qt::LeftButton); });
    });
    view->loadWindow(Window::Chooser, true);
    // Back only after the chooser is gone.
    EXPECT_FALSE(view->windowExists(Window::Chooser));
    EXPECT_TRUE(chooserShown);
    EXPECT_TRUE(mainDisabledMeanwhile);
    EXPECT_TRUE(mainWindow()->isEnabled());
    EXPECT_GT(sink.count(Received::Tick), ticksBefore) << "ticks flow while it is open";
    EXPECT_EQ(view->getText(编辑框_IP), "192.0.2.7");
    EXPECT_EQ(sink.count(Received::CloseRequested), 0);
    EXPECT_TRUE(view->windowExists(Window::Main));
    // Controls the program had disabled stay disabled.
    EXPECT_FALSE(view->widget(按钮_一键清理)->isEnabled());
}

TEST_F(WindowsTest, TheChooserWindowAndItsCloseButton) {
    QTimer::singleShot(20, [&] {
        QWidget* chooser = view->window(Window::Chooser);
        ASSERT_NE(chooser, nullptr);
        EXPECT_EQ(chooser->windowTitle(), QStringLiteral("请选择"));
        EXPECT_TRUE(chooser->windowFlags() & Qt::WindowStaysOnTopHint);
        EXPECT_FALSE(chooser->windowFlags() & Qt::WindowMinimizeButtonHint);
        EXPECT_FALSE(chooser->windowFlags() & Qt::WindowMaximizeButtonHint);
        EXPECT_EQ(chooser->windowType(), Qt::Tool) << "no taskbar button";
        EXPECT_EQ(chooser->minimumSize(), chooser->maximumSize());
        EXPECT_EQ(view->getText(按钮_主机名), gbk("主机名"));
        EXPECT_EQ(view->getText(按钮_IP), gbk("本机IP"));
        EXPECT_EQ(view->widget(按钮_IP)->geometry(), QRect(104, 8, 88, 56));
        chooser->close();  // destroyed at once, no handler asked
        EXPECT_FALSE(view->windowExists(Window::Chooser));
    });
    view->loadWindow(Window::Chooser, true);
    EXPECT_FALSE(view->windowExists(Window::Chooser));
    EXPECT_EQ(sink.count(Received::CloseRequested), 0);
    EXPECT_TRUE(mainWindow()->isEnabled());
}

TEST_F(WindowsTest, AMessageBoxWithOkOnly) {
    QString title;
    bool hasIcon = true;
    whenModalUp([&](QWidget* box) {
        title = box->windowTitle();
        hasIcon = static_cast<QMessageBox*>(box)->icon() != QMessageBox::NoIcon;
        EXPECT_EQ(static_cast<QMessageBox*>(box)->text(), QStringLiteral("连接成功"));
        box->close();  // closing an OK box counts as OK
    });
    EXPECT_EQ(view->showMessage(gbk("连接成功")), MR_OK);
    EXPECT_EQ(title, QStringLiteral("信息："));
    EXPECT_FALSE(hasIcon);
}

TEST_F(WindowsTest, AYesNoBoxCanOnlyBeLeftByChoosing) {
    view->setPeriod(时钟1, 30);
    const struct {
        QMessageBox::StandardButton press;
        MessageResult result;
    } cases[] = {{QMessageBox::No, MR_NO}, {QMessageBox::Yes, MR_YES}};
    for (const auto& c : cases) {
        bool stillOpen = false, yesIsDefault = false;
        QString title;
        int ticksWhileOpen = 0;
        const int ticksBefore = sink.count(Received::Tick);
        whenModalUp([&](QWidget* box) {
            title = box->windowTitle();
            yesIsDefault =
                static_cast<QMessageBox*>(box)->defaultButton() == buttonOf(box, QMessageBox::Yes);
            box->close();
            QTest::keyClick(box, Qt::Key_Escape);
            stillOpen = box->isVisible();
            QTimer::singleShot(120, [&, box] {
                ticksWhileOpen = sink.count(Received::Tick) - ticksBefore;
                buttonOf(box, c.press)->click();
            });
        });
        EXPECT_EQ(view->showMessage(gbk("是否退出程序?"), MB_YESNO, gbk("提示:")), c.result);
        EXPECT_TRUE(stillOpen);
        EXPECT_TRUE(yesIsDefault);
        EXPECT_EQ(title, QStringLiteral("提示:"));
        EXPECT_GE(ticksWhileOpen, 1);
    }
}

TEST_F(WindowsTest, TheTrayIconIsChangedInPlaceAndRemovedByAnEmptyIcon) {
    const IconData icon = view->windowIcon(Window::Main);
    view->setTrayIcon(Window::Main, icon, "Karvath");
    QSystemTrayIcon* tray = view->trayIcon(Window::Main);
    ASSERT_NE(tray, nullptr);
    EXPECT_EQ(tray->toolTip(), QStringLiteral("Karvath"));
    view->setTrayIcon(Window::Main, icon, std::string(70, 't'));
    EXPECT_EQ(view->trayIcon(Window::Main), tray) << "one icon, changed in place";
    EXPECT_EQ(tray->toolTip(), QString(62, u't'));
    // Hiding the window leaves the icon.
    view->setVisible(Window::Main, false);
    EXPECT_EQ(view->trayIcon(Window::Main), tray);
    view->setTrayIcon(Window::Main, IconData(), "Karvath");
    EXPECT_EQ(view->trayIcon(Window::Main), nullptr);
}

TEST_F(WindowsTest, TrayActionsArriveAsCodes) {
    view->setTrayIcon(Window::Main, view->windowIcon(Window::Main), "Karvath");
    QSystemTrayIcon* tray = view->trayIcon(Window::Main);
    ASSERT_NE(tray, nullptr);
    sink.events.clear();
    emit tray->activated(QSystemTrayIcon::Trigger);
    emit tray->activated(QSystemTrayIcon::Context);
    emit tray->activated(QSystemTrayIcon::MiddleClick);
    QApplication::processEvents();
    EXPECT_EQ(sink.events, (std::vector<Received>{{Received::Tray, 1}, {Received::Tray, 3}}));
    // A double-click: the first release, the double-click, the second release.
    sink.events.clear();
    emit tray->activated(QSystemTrayIcon::Trigger);
    emit tray->activated(QSystemTrayIcon::DoubleClick);
    QApplication::processEvents();
    EXPECT_EQ(sink.events, (std::vector<Received>{
                               {Received::Tray, 1}, {Received::Tray, 2}, {Received::Tray, 1}}));
}

TEST_F(WindowsTest, TheTrayMenuPopsUpLeftOfThePointerAndReportsTheChoiceAfterwards) {
    QCursor::setPos(400, 300);
    const QPoint pointer = QCursor::pos();
    QRect placed;
    QStringList entries;
    whenModalUp([&](QWidget* menu) {
        placed = menu->geometry();
        for (QAction* a : static_cast<QMenu*>(menu)->actions()) entries << a->text();
        QTest::keyClick(menu, Qt::Key_Down);
        QTest::keyClick(menu, Qt::Key_Down);
        QTest::keyClick(menu, Qt::Key_Return);
    });
    view->popupTrayMenu(Window::Main, 托盘菜单);
    EXPECT_EQ(entries, (QStringList{QStringLiteral("显示主菜单"), QStringLiteral("退出")}));
    EXPECT_EQ(placed.topRight(), pointer - QPoint(5, 5));
    EXPECT_EQ(sink.count(Received::Menu), 0) << "not while the opening handler runs";
    QApplication::processEvents();
    EXPECT_EQ(sink.events, (std::vector<Received>{{Received::Created, 0}, {Received::Menu, 退出}}));
}

TEST_F(WindowsTest, NormalStateRestoresAVisibleWindowOnly) {
    view->setNormalState(Window::Main);
    EXPECT_FALSE(mainWindow()->isVisible()) << "a hidden window stays hidden";
    showMain();
    mainWindow()->showMinimized();
    QApplication::processEvents();
    view->setNormalState(Window::Main);
    QApplication::processEvents();
    EXPECT_FALSE(mainWindow()->windowState() & Qt::WindowMinimized);
    EXPECT_TRUE(mainWindow()->isVisible());
}

}  // namespace
