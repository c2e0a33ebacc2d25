// Which actions raise the wired events, and the wait and timer rules.

#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QPushButton>
#include <QTest>
#include <QThread>
#include <QTimer>

#include "AppFixture.h"
#include "app/Widgets.h"

namespace {

class EventDeliveryTest : public AppTest {
protected:
    void SetUp() override {
        AppTest::SetUp();
        showMain();
        sink.events.clear();
    }
};

TEST_F(EventDeliveryTest, ProgramChangesRaiseNothing) {
    view->setChecked(选择框_每月, true);
    view->setChecked(选择框1, true);
    view->addItem(组合框_库名, "master");
    view->addItem(组合框_库名, "model");
    view->selectByText(组合框_库名, "mo");
    view->setText(按钮_连接, "x");
    view->setVisible(按钮_确定, true);
    view->setEnabled(透明标签_log状态, true);
    view->setPeriod(时钟1, 0);
    QApplication::processEvents();
    EXPECT_TRUE(sink.events.empty());
    EXPECT_TRUE(view->isChecked(选择框_每月));
}

TEST_F(EventDeliveryTest, ACheckBoxHasToggledBeforeItsClickArrives) {
    std::vector<bool> seen;
    sink.onClicked = [&](Control c) { seen.push_back(view->isChecked(c)); };
    QTest::mouseClick(view->widget(选择框_每周), Qt::LeftButton);
    QTest::mouseClick(view->widget(选择框_每周), Qt::LeftButton);
    EXPECT_EQ(sink.events, (std::vector<Received>{{Received::Clicked, 选择框_每周},
                                                  {Received::Clicked, 选择框_每周}}));
    EXPECT_EQ(seen, (std::vector<bool>{true, false}));
}

TEST_F(EventDeliveryTest, EveryButtonRaisesItsClick) {
    for (Control c : {按钮_连接, 按钮_获取本机ip, 选择框_开机自启, 选择框_每月, 选择框_每天}) {
        sink.events.clear();
        QTest::mouseClick(view->widget(c), Qt::LeftButton);
        EXPECT_EQ(sink.events, (std::vector<Received>{{Received::Clicked, c}})) << spec(c).name;
    }
}

TEST_F(EventDeliveryTest, DisabledControlsRaiseNothing) {
    QTest::mouseClick(view->widget(按钮_一键清理), Qt::LeftButton);
    QTest::mouseClick(view->widget(选择框1), Qt::LeftButton);
    QTest::mouseClick(view->widget(透明标签_log状态), Qt::LeftButton);
    EXPECT_TRUE(sink.events.empty());
    EXPECT_FALSE(view->isChecked(选择框1));

    view->setEnabled(按钮_一键清理, true);
    QTest::mouseClick(view->widget(按钮_一键清理), Qt::LeftButton);
    EXPECT_EQ(sink.count(Received::Clicked, 按钮_一键清理), 1);
}

TEST_F(EventDeliveryTest, TheListClickAreaReportsLeftPressesWhileEnabled) {
    view->setEnabled(透明标签_log状态, true);
    QWidget* area = view->widget(透明标签_log状态);
    QTest::mousePress(area, Qt::LeftButton, {}, QPoint(50, 50));
    QTest::mouseRelease(area, Qt::LeftButton, {}, QPoint(50, 50));
    QTest::mouseClick(area, Qt::RightButton, {}, QPoint(50, 50));
    EXPECT_EQ(sink.events, (std::vector<Received>{{Received::MousePressed, 透明标签_log状态}}));
    // The overlay of the log swallows presses and reports none.
    QTest::mouseClick(view->widget(透明标签2), Qt::LeftButton, {}, QPoint(20, 20));
    EXPECT_EQ(sink.events.size(), 1u);
}

TEST_F(EventDeliveryTest, AUsersChoiceInTheDatabaseBoxIsReportedAfterItTookEffect) {
    view->setEnabled(组合框_库名, true);
    view->addItem(组合框_库名, "master");
    view->addItem(组合框_库名, "model");
    view->selectByText(组合框_库名, "master");
    int indexInHandler = -2;
    auto* combo = w<QComboBox>(组合框_库名);
    QObject::connect(combo, &QComboBox::activated, combo,
                     [&] { indexInHandler = view->currentIndex(组合框_库名); });
    combo->setFocus();
    QTest::keyClick(combo, Qt::Key_Down);
    EXPECT_EQ(sink.events, (std::vector<Received>{{Received::ItemSelected, 组合框_库名}}));
    EXPECT_EQ(view->currentIndex(组合框_库名), 1);
    EXPECT_EQ(indexInHandler, 1);
    // The weekday box has no handler.
    view->setVisible(组合框_星期, true);
    QTest::keyClick(w<QComboBox>(组合框_星期), Qt::Key_Down);
    EXPECT_EQ(sink.events.size(), 1u);
}

TEST_F(EventDeliveryTest, AWaitDeliversTicksAndClicksAndLastsItsTime) {
    view->setPeriod(时钟1, 100);
    bool clickedInside = false;
    QTimer::singleShot(50, [&] {
        QTest::mouseClick(view->widget(按钮_连接), Qt::LeftButton);
        clickedInside = true;
    });
    QElapsedTimer clock;
    clock.start();
    view->waitProcessingEvents(500);
    const qint64 took = clock.elapsed();
    EXPECT_GE(took, 500);
    EXPECT_TRUE(clickedInside);
    EXPECT_EQ(sink.count(Received::Clicked, 按钮_连接), 1);
    EXPECT_GE(sink.count(Received::Tick, 时钟1), 1);
}

TEST_F(EventDeliveryTest, AWaitOfZeroDeliversNothing) {
    QMetaObject::invokeMethod(
        view->widget(按钮_连接),
        [&] { QTest::mouseClick(view->widget(按钮_连接), Qt::LeftButton); }, Qt::QueuedConnection);
    view->waitProcessingEvents(0);
    view->waitProcessingEvents(-20);
    EXPECT_TRUE(sink.events.empty());
    view->waitProcessingEvents(1);
    EXPECT_EQ(sink.count(Received::Clicked, 按钮_连接), 1);
}

TEST_F(EventDeliveryTest, HandlersNestInsideAWaitOfAnotherHandler) {
    // A tick arrives in the middle of a click's wait, and a second click on
    // the same button runs inside the first.
    int depth = 0, deepest = 0;
    sink.onClicked = [&](Control) {
        ++depth;
        deepest = std::max(deepest, depth);
        if (depth == 1) {
            QTimer::singleShot(30,
                               [&] { QTest::mouseClick(view->widget(按钮_连接), Qt::LeftButton); });
            view->waitProcessingEvents(150);
        }
        --depth;
    };
    view->setPeriod(时钟1, 40);
    QTest::mouseClick(view->widget(按钮_连接), Qt::LeftButton);
    EXPECT_EQ(deepest, 2);
    EXPECT_GE(sink.count(Received::Tick), 1);
}

TEST_F(EventDeliveryTest, TicksNestInsideATicksOwnWait) {
    int ticks = 0, nested = 0;
    bool inside = false;
    sink.onTick = [&] {
        ++ticks;
        if (inside) {
            ++nested;
            return;
        }
        if (ticks == 1) {
            inside = true;
            view->waitProcessingEvents(250);
            inside = false;
            view->setPeriod(时钟1, 0);
        }
    };
    view->setPeriod(时钟1, 50);
    view->waitProcessingEvents(400);
    EXPECT_GE(nested, 2);
}

TEST_F(EventDeliveryTest, TheSamePeriodKeepsTheRhythm) {
    QElapsedTimer clock;
    qint64 firstTick = -1;
    sink.onTick = [&] {
        if (firstTick < 0) firstTick = clock.elapsed();
    };
    clock.start();
    view->setPeriod(时钟1, 400);
    view->waitProcessingEvents(200);
    view->setPeriod(时钟1, 400);  // must not restart the count
    view->waitProcessingEvents(350);
    ASSERT_GE(firstTick, 0) << "no tick within 550 ms of a 400 ms timer";
    EXPECT_GE(firstTick, 400);
}

TEST_F(EventDeliveryTest, ANewPeriodStartsCountingAtTheCall) {
    QElapsedTimer clock;
    qint64 firstTick = -1;
    sink.onTick = [&] {
        if (firstTick < 0) firstTick = clock.elapsed();
    };
    clock.start();
    view->setPeriod(时钟1, 300);
    view->waitProcessingEvents(200);
    view->setPeriod(时钟1, 350);
    view->waitProcessingEvents(600);
    EXPECT_GE(firstTick, 550);
}

TEST_F(EventDeliveryTest, StoppedOrNegativePeriodsGiveNoTicks) {
    view->setPeriod(时钟1, -5);
    view->waitProcessingEvents(120);
    view->setPeriod(时钟1, 30);
    view->setPeriod(时钟1, 0);
    view->waitProcessingEvents(120);
    EXPECT_EQ(sink.count(Received::Tick), 0);
}

TEST_F(EventDeliveryTest, TicksDoNotPileUpWhileAHandlerBlocks) {
    view->setPeriod(时钟1, 20);
    view->waitProcessingEvents(30);
    sink.events.clear();
    QThread::msleep(300);  // a handler busy for fifteen periods
    QElapsedTimer clock;
    clock.start();
    view->waitProcessingEvents(5);
    // One tick waited; any other fell due during the wait itself.
    const qint64 duringWait = clock.elapsed() / 20;
    EXPECT_GE(sink.count(Received::Tick), 1);
    EXPECT_LE(sink.count(Received::Tick), 1 + duringWait);
}

}  // namespace
