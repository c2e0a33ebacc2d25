#include "ScheduleFixture.h"

namespace {

class SchedulerTickTest : public ScheduleFixture {
protected:
    SchedulerTickTest() { connectRemote(); }

    // Puts a mode in force the way the user does, without confirming.
    void setMode(Control box, const std::string& day, int weekday, const std::string& h,
                 const std::string& m, const std::string& s) {
        view.click(box);
        if (box == 选择框_每月) view.type(编辑框_日, day);
        if (weekday >= 0) view.choose(组合框_星期, weekday);
        view.type(编辑框_时, h);
        view.type(编辑框_分, m);
        view.type(编辑框_秒, s);
    }
    // Ticks once at the given second; true when monitorCheck ran.
    bool runsAt(int y, int mo, int d, int h, int mi, int s) {
        clock.set(y, mo, d, h, mi, s);
        const int before = sizeLines();
        scheduleTick(k);
        return sizeLines() > before;
    }
    // Ticks `count` times, `step` seconds apart, from the given second; how many ran.
    int runsOver(int y, int mo, int d, int h, int mi, int s, int count, int step) {
        clock.set(y, mo, d, h, mi, s);
        const int before = sizeLines();
        for (int i = 0; i < count; ++i) {
            scheduleTick(k);
            clock.advance(static_cast<std::int64_t>(step) * 1000);
        }
        return sizeLines() - before;
    }
};

TEST(WeekdayNumber, FollowsTheClocksSundayFirstNumbering) {
    const std::pair<std::string, int> table[] = {
        {"星期日", 1},  {"星期一", 2}, {"星期二", 3}, {"星期三", 4}, {"星期四", 5},
        {"星期五", 6},  {"星期六", 7}, {"", 0},       {"星期", 0},   {"星期日 ", 0},
        {" 星期一", 0}, {"Sunday", 0}, {"星期七", 0}, {"周三", 0},
    };
    for (const auto& [text, number] : table) EXPECT_EQ(weekdayNumber(text), number) << text;
}

struct TickCase {
    const char* name;
    Control mode;
    std::string day;
    int weekday;  // item index: 0 星期一 ... 6 星期日; -1 none
    std::string h, m, s;
    int y, mo, d, hh, mi, ss;
    bool runs;
};

TEST_F(SchedulerTickTest, MatchesOnlyTheScheduledSecond) {
    const TickCase cases[] = {
        {"daily at the second", 选择框_每天, "", -1, "8", "30", "0", 2021, 3, 15, 8, 30, 0, true},
        {"daily a second late", 选择框_每天, "", -1, "8", "30", "0", 2021, 3, 15, 8, 30, 1, false},
        {"daily a second early", 选择框_每天, "", -1, "8", "30", "0", 2021, 3, 15, 8, 29, 59,
         false},
        {"daily any date", 选择框_每天, "", -1, "8", "30", "0", 2024, 2, 29, 8, 30, 0, true},
        {"daily leading zeros", 选择框_每天, "", -1, "08", "030", "00", 2021, 3, 15, 8, 30, 0,
         true},
        {"daily in the evening", 选择框_每天, "", -1, "20", "30", "0", 2021, 3, 15, 8, 30, 0,
         false},
        {"weekly Wednesday", 选择框_每周, "", 2, "8", "30", "0", 2021, 3, 17, 8, 30, 0, true},
        {"weekly Wednesday on Thursday", 选择框_每周, "", 2, "8", "30", "0", 2021, 3, 18, 8, 30, 0,
         false},
        {"weekly Wednesday on Monday", 选择框_每周, "", 2, "8", "30", "0", 2021, 3, 15, 8, 30, 0,
         false},
        {"weekly Saturday", 选择框_每周, "", 5, "8", "30", "0", 2021, 3, 20, 8, 30, 0, true},
        {"weekly Sunday", 选择框_每周, "", 6, "8", "30", "0", 2021, 3, 21, 8, 30, 0, true},
        {"weekly Sunday on Saturday", 选择框_每周, "", 6, "8", "30", "0", 2021, 3, 20, 8, 30, 0,
         false},
        {"weekly Monday", 选择框_每周, "", 0, "8", "30", "0", 2021, 3, 15, 8, 30, 0, true},
        {"weekly wrong minute", 选择框_每周, "", 0, "8", "31", "0", 2021, 3, 15, 8, 30, 0, false},
        {"monthly on its day", 选择框_每月, "15", -1, "8", "30", "0", 2021, 3, 15, 8, 30, 0, true},
        {"monthly next day", 选择框_每月, "15", -1, "8", "30", "0", 2021, 3, 16, 8, 30, 0, false},
        {"monthly wrong second", 选择框_每月, "15", -1, "8", "30", "1", 2021, 3, 15, 8, 30, 0,
         false},
        {"monthly 31st", 选择框_每月, "31", -1, "0", "0", "0", 2021, 12, 31, 0, 0, 0, true},
    };
    for (const TickCase& c : cases) {
        SCOPED_TRACE(c.name);
        setMode(c.mode, c.day, c.weekday, c.h, c.m, c.s);
        EXPECT_EQ(runsAt(c.y, c.mo, c.d, c.hh, c.mi, c.ss), c.runs);
        view.click(c.mode);  // back to no mode
        view.state(组合框_星期).selected = -1;
    }
}

TEST_F(SchedulerTickTest, DailyRunsOnceADay) {
    setMode(选择框_每天, "", -1, "8", "30", "0");
    EXPECT_EQ(runsOver(2021, 3, 15, 0, 0, 0, 86400, 1), 1);
    EXPECT_EQ(activityLog().rfind("2021年3月15日8时30分  shop检测到日志大小", 0), 0u)
        << activityLog();
    EXPECT_EQ(runsOver(2021, 1, 1, 8, 30, 0, 60, 86400), 60);
}

TEST_F(SchedulerTickTest, WeeklyRunsOnItsWeekdayOnly) {
    // 2021-03-15 is a Monday; item 2 is 星期三, item 5 星期六.
    for (int item : {2, 5}) {
        setMode(选择框_每周, "", item, "8", "30", "0");
        clock.set(2021, 3, 15, 8, 30, 0);
        for (int day = 0; day < 14; ++day) {
            const int dow = clock.now().dayOfWeek;
            const int before = sizeLines();
            scheduleTick(k);
            EXPECT_EQ(sizeLines() > before, dow == (item + 1) % 7 + 1) << "dayOfWeek " << dow;
            clock.advance(86400 * 1000);
        }
        view.click(选择框_每周);
    }
}

TEST_F(SchedulerTickTest, WeeklyWithoutAWeekdayNeverRuns) {
    setMode(选择框_每周, "", -1, "8", "30", "0");
    EXPECT_EQ(runsOver(2021, 3, 15, 8, 30, 0, 7, 86400), 0);
    // Empty boxes count as 0, but no weekday number is 0.
    view.type(编辑框_时, "");
    view.type(编辑框_分, "");
    view.type(编辑框_秒, "");
    EXPECT_EQ(runsOver(2021, 3, 14, 0, 0, 0, 14, 86400), 0);
}

TEST_F(SchedulerTickTest, MonthlyOn31RunsOnlyInLongMonths) {
    setMode(选择框_每月, "31", -1, "8", "30", "0");
    EXPECT_EQ(runsOver(2021, 1, 1, 8, 30, 0, 365, 86400), 7);
}

TEST_F(SchedulerTickTest, ImpossibleMonthlySchedulesNeverRun) {
    struct Case {
        std::string day, h, m, s;
    };
    const Case cases[] = {{"0", "8", "30", "0"},  {"-1", "8", "30", "0"},  {"15", "24", "30", "0"},
                          {"15", "8", "60", "0"}, {"15", "8", "30", "60"}, {"32", "8", "30", "0"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.day + " " + c.h + ":" + c.m + ":" + c.s);
        setMode(选择框_每月, c.day, -1, c.h, c.m, c.s);
        // Every second of the 15th and of the 16th.
        EXPECT_EQ(runsOver(2021, 3, 15, 0, 0, 0, 2 * 86400, 1), 0);
        view.click(选择框_每月);
    }
    // The same boxes hold a schedule that does run once set right.
    setMode(选择框_每月, "15", -1, "8", "30", "0");
    EXPECT_EQ(runsOver(2021, 3, 15, 0, 0, 0, 2 * 86400, 1), 1);
}

TEST_F(SchedulerTickTest, EmptyOrNonNumericBoxesCountAsZero) {
    for (const std::string text : {"", "abc", "-", "- 5"}) {
        SCOPED_TRACE(text);
        setMode(选择框_每天, "", -1, text, text, text);
        const int before = sizeLines();
        EXPECT_EQ(runsOver(2021, 3, 14, 12, 0, 0, 86400, 1), 1);
        // The line of a midnight run has no time part.
        EXPECT_NE(activityLog().find("2021年3月15日  shop"), std::string::npos);
        EXPECT_EQ(sizeLines(), before + 1);
        view.click(选择框_每天);
    }
}

TEST_F(SchedulerTickTest, AnUnconfirmedEditIsInForceAtTheNextTick) {
    setMode(选择框_每天, "", -1, "8", "30", "0");
    view.click(按钮_确定);
    ASSERT_EQ(schedule("分"), "30");
    // Locked boxes cannot be typed into; the user unlocks by switching the mode off and on.
    view.click(选择框_每天);
    view.click(选择框_每天);
    view.type(编辑框_分, "31");
    EXPECT_FALSE(runsAt(2021, 3, 15, 8, 30, 0));
    EXPECT_TRUE(runsAt(2021, 3, 15, 8, 31, 0));
    EXPECT_EQ(schedule("分"), "30");
}

TEST_F(SchedulerTickTest, NoModeCheckedDoesNothing) {
    view.state(编辑框_日).text = "15";
    view.state(编辑框_时).text = "0";
    view.state(编辑框_分).text = "0";
    view.state(编辑框_秒).text = "0";
    view.state(组合框_星期).selected = 0;
    EXPECT_EQ(runsOver(2021, 3, 15, 0, 0, 0, 86400, 1), 0);
    EXPECT_TRUE(os.exclusiveWrites.empty());
}

TEST_F(SchedulerTickTest, EveryTickInTheScheduledSecondRuns) {
    setMode(选择框_每天, "", -1, "8", "30", "0");
    clock.set(2021, 3, 15, 8, 30, 0);
    scheduleTick(k);
    clock.advance(999);
    scheduleTick(k);
    EXPECT_EQ(sizeLines(), 2);
}

TEST_F(SchedulerTickTest, BoxesAreReadOnlyUpToTheFirstMismatch) {
    struct Case {
        const char* name;
        Control mode;
        int weekday;
        int y, mo, d, h, mi, s;
        std::vector<Control> reads;
    };
    const Case cases[] = {
        {"monthly, wrong day", 选择框_每月, -1, 2021, 3, 16, 8, 30, 0, {编辑框_日}},
        {"monthly, wrong hour", 选择框_每月, -1, 2021, 3, 15, 9, 30, 0, {编辑框_日, 编辑框_时}},
        {"monthly, wrong minute",
         选择框_每月,
         -1,
         2021,
         3,
         15,
         8,
         31,
         0,
         {编辑框_日, 编辑框_时, 编辑框_分}},
        {"weekly, wrong weekday", 选择框_每周, 2, 2021, 3, 15, 8, 30, 0, {}},
        {"weekly, wrong second",
         选择框_每周,
         0,
         2021,
         3,
         15,
         8,
         30,
         1,
         {编辑框_时, 编辑框_分, 编辑框_秒}},
        {"daily, wrong hour", 选择框_每天, -1, 2021, 3, 15, 7, 30, 0, {编辑框_时}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        setMode(c.mode, "15", c.weekday, "8", "30", "0");
        clock.set(c.y, c.mo, c.d, c.h, c.mi, c.s);
        view.reads.clear();
        scheduleTick(k);
        EXPECT_EQ(view.reads, c.reads);
        EXPECT_EQ(sizeLines(), 0);
        view.click(c.mode);
        view.state(组合框_星期).selected = -1;
    }
}

// The timer as the window runs it: switched on with 选择框1, ticking on virtual time.
TEST_F(SchedulerTickTest, TimerRunsTheCheckAtTheScheduledSecond) {
    setMode(选择框_每天, "", -1, "8", "30", "0");
    view.click(按钮_确定);
    view.state(选择框1).enabled = true;
    clock.set(2021, 3, 15, 8, 29, 57);
    view.click(选择框1);
    ASSERT_EQ(view.state(时钟1).period, 1000);

    view.runFor(6000);  // ticks at 08:29:58 ... 08:30:03
    EXPECT_EQ(activityLog(), "2021年3月15日8时30分  shop检测到日志大小500KB\r\n");
    EXPECT_EQ(os.files[logFile()], activityLog());

    view.runFor(86400 * 1000);  // the next day's run
    EXPECT_EQ(sizeLines(), 2);
    EXPECT_NE(activityLog().find("2021年3月16日8时30分  shop"), std::string::npos);
}

TEST_F(SchedulerTickTest, StoppedTimerRunsNothing) {
    setMode(选择框_每天, "", -1, "8", "30", "0");
    view.state(选择框1).enabled = true;
    view.state(选择框1).checked = true;
    clock.set(2021, 3, 15, 8, 29, 57);
    view.click(选择框1);  // off
    ASSERT_EQ(view.state(时钟1).period, 0);
    view.runFor(10000);
    EXPECT_EQ(sizeLines(), 0);
}

}  // namespace

namespace {

class TimerCleanupTest : public SchedulerTickTest {
protected:
    // A daily check at 08:30:00 of a 1 GB local log, unattended mode on at 08:29:59.
    void armAtOneGigabyte() {
        connectLocal(1073741824);
        chooseShop();
        setMode(选择框_每天, "", -1, "8", "30", "0");
        view.click(按钮_确定);
        view.state(选择框1).enabled = true;
        clock.set(2021, 3, 15, 8, 29, 59);
        view.click(选择框1);
    }
};

TEST_F(TimerCleanupTest, TicksDuringTheCleanupRunWithTheirOwnTime) {
    armAtOneGigabyte();
    view.runFor(10000);
    const std::string log = activityLog();
    EXPECT_EQ(log.rfind("2021年3月15日8时30分  shop检测到日志大小1048.576MB\r\n"
                        "2021年3月15日8时30分  shop检测到日志大小1.048576GB\r\n",
                        0),
              0u)
        << log;
    EXPECT_NE(log.find("shop清理完毕，共释放了"), std::string::npos);
    // The ticks that fell inside the cleanup's waits were later seconds: no second check.
    EXPECT_EQ(sizeLines(), 2);
    ASSERT_EQ(os.exclusiveWrites.size(), 1u);
    EXPECT_EQ(os.exclusiveWrites[0].second, log);
}

TEST_F(TimerCleanupTest, SwitchingOffDuringTheCleanupStillSavesTheCheck) {
    armAtOneGigabyte();
    // 08:30:00 is 1000 ms on; the cleanup then waits 2500 ms.
    view.at(2200, [&] { view.click(选择框1); });
    view.runFor(10000);
    EXPECT_EQ(view.state(时钟1).period, 0);
    EXPECT_FALSE(view.state(选择框1).enabled);
    EXPECT_EQ(setting("配置", "是否挂机"), "否");
    EXPECT_NE(activityLog().find("shop清理完毕，共释放了"), std::string::npos);
    ASSERT_EQ(os.exclusiveWrites.size(), 1u);
    EXPECT_EQ(os.exclusiveWrites[0].second, activityLog());
}

}  // namespace
