#include <set>

#include "ScheduleFixture.h"

namespace {

const std::vector<Control> kModeBoxes = {选择框_每月, 选择框_每周, 选择框_每天};
const std::vector<Control> kFields = {标签_日, 编辑框_日, 组合框_星期, 标签_时,   编辑框_时,
                                      标签_分, 编辑框_分, 标签_秒,     编辑框_秒, 按钮_确定};

class ScheduleEditorTest : public ScheduleFixture {
protected:
    std::set<Control> visibleFields() {
        std::set<Control> out;
        for (Control c : kFields)
            if (view.state(c).visible) out.insert(c);
        return out;
    }
    std::set<Control> disabledFields() {
        std::set<Control> out;
        for (Control c : kFields)
            if (!view.state(c).enabled) out.insert(c);
        return out;
    }
    void typeTime(const std::string& h, const std::string& m, const std::string& s) {
        view.type(编辑框_时, h);
        view.type(编辑框_分, m);
        view.type(编辑框_秒, s);
    }
    bool settingsWritten() { return os.files.count(settingsFile()) > 0; }
    // True when the journal shows a file write since it was last cleared.
    bool settingsWrittenSince() {
        for (const auto& e : journal.entries)
            if (e.rfind("replace ", 0) == 0) return true;
        return false;
    }
    // The editor as the window is loaded: no mode, fields hidden and enabled, texts empty.
    void resetEditor() {
        for (Control box : kModeBoxes) view.state(box) = FakeView::ControlState{};
        for (Control f : kFields) {
            auto& s = view.state(f);
            s.visible = false;
            s.enabled = true;
            s.text.clear();
            s.selected = -1;
        }
        journal.entries.clear();
    }
};

struct ModeCase {
    Control box;
    std::set<Control> fields;  // shown while the box is checked
};

TEST_F(ScheduleEditorTest, CheckingAModeShowsItsFieldsAndLocksOutTheOtherModes) {
    const std::set<Control> time = {标签_时, 编辑框_时, 标签_分,  编辑框_分,
                                    标签_秒, 编辑框_秒, 按钮_确定};
    auto with = [&](std::set<Control> extra) {
        extra.insert(time.begin(), time.end());
        return extra;
    };
    for (const ModeCase& c :
         {ModeCase{选择框_每月, with({标签_日, 编辑框_日})},
          ModeCase{选择框_每周, with({组合框_星期})}, ModeCase{选择框_每天, time}}) {
        SCOPED_TRACE(c.box);
        view.click(c.box);
        EXPECT_TRUE(view.state(c.box).checked);
        EXPECT_TRUE(view.state(c.box).enabled);
        for (Control other : kModeBoxes) {
            if (other == c.box) continue;
            EXPECT_FALSE(view.state(other).checked);
            EXPECT_FALSE(view.state(other).enabled);
        }
        EXPECT_EQ(visibleFields(), c.fields);

        view.click(c.box);
        EXPECT_FALSE(view.state(c.box).checked);
        for (Control box : kModeBoxes) EXPECT_TRUE(view.state(box).enabled);
        EXPECT_TRUE(visibleFields().empty());
        EXPECT_TRUE(disabledFields().empty());
    }
    EXPECT_FALSE(settingsWritten());
    EXPECT_TRUE(view.messages().empty());
}

TEST_F(ScheduleEditorTest, AnotherModeCannotBeCheckedWhileOneIs) {
    view.click(选择框_每月);
    view.click(选择框_每周);
    view.click(选择框_每天);
    EXPECT_TRUE(view.state(选择框_每月).checked);
    EXPECT_FALSE(view.state(选择框_每周).checked);
    EXPECT_FALSE(view.state(选择框_每天).checked);
}

TEST_F(ScheduleEditorTest, ModeSwitchKeepsTextsAndSelection) {
    view.click(选择框_每周);
    view.choose(组合框_星期, 2);
    typeTime("8", "30", "0");
    view.click(选择框_每周);
    view.click(选择框_每周);
    EXPECT_EQ(view.state(组合框_星期).selected, 2);
    EXPECT_EQ(view.state(编辑框_时).text, "8");
    EXPECT_EQ(view.state(编辑框_分).text, "30");
    EXPECT_EQ(view.state(编辑框_秒).text, "0");
}

TEST_F(ScheduleEditorTest, UncheckingFollowsItsOrder) {
    view.click(选择框_每周);
    journal.entries.clear();
    view.click(选择框_每周);
    const std::vector<std::string> expected = {
        enabled(选择框_每月, true), enabled(选择框_每天, true), shown(组合框_星期, false),
        shown(标签_时, false),      shown(编辑框_时, false),    shown(标签_分, false),
        shown(编辑框_分, false),    shown(标签_秒, false),      shown(编辑框_秒, false),
        shown(按钮_确定, false),    enabled(按钮_确定, true),   enabled(组合框_星期, true),
        enabled(编辑框_时, true),   enabled(编辑框_分, true),   enabled(编辑框_秒, true)};
    EXPECT_EQ(journal.entries, expected);
}

struct ValidationCase {
    const char* name;
    Control mode;
    std::string day;
    int weekday;  // index to choose, -1 for none
    std::string hour, minute, second;
    std::string message;  // empty: passes
};

TEST_F(ScheduleEditorTest, ConfirmValidatesEachModeInItsOrder) {
    const ValidationCase cases[] = {
        {"monthly, all empty", 选择框_每月, "", -1, "", "", "", "日期不能为空"},
        {"monthly, no day", 选择框_每月, "", -1, "8", "30", "0", "日期不能为空"},
        {"monthly, no hour", 选择框_每月, "5", -1, "", "30", "0", "时间不能为空"},
        {"monthly, no minute", 选择框_每月, "5", -1, "8", "", "0", "时间不能为空"},
        {"monthly, no second", 选择框_每月, "5", -1, "8", "30", "", "时间不能为空"},
        {"monthly, complete", 选择框_每月, "5", -1, "8", "30", "0", ""},
        {"weekly, nothing", 选择框_每周, "", -1, "", "", "", "请选择星期"},
        {"weekly, no weekday", 选择框_每周, "", -1, "8", "30", "0", "请选择星期"},
        {"weekly, no second", 选择框_每周, "", 2, "8", "30", "", "时间不能为空"},
        {"weekly, complete", 选择框_每周, "", 2, "8", "30", "0", ""},
        {"weekly, a day is not needed", 选择框_每周, "", 0, "0", "0", "0", ""},
        {"daily, no hour", 选择框_每天, "", -1, "", "30", "0", "时间不能为空"},
        {"daily, only blanks count", 选择框_每天, "", -1, " ", "-", "abc", ""},
        {"daily, complete", 选择框_每天, "", -1, "8", "30", "0", ""},
    };
    for (const ValidationCase& c : cases) {
        SCOPED_TRACE(c.name);
        os.files.clear();
        view.click(c.mode);
        if (c.mode == 选择框_每月) view.type(编辑框_日, c.day);
        if (c.weekday >= 0) view.choose(组合框_星期, c.weekday);
        typeTime(c.hour, c.minute, c.second);
        const size_t before = view.messages().size();
        view.click(按钮_确定);

        if (c.message.empty()) {
            EXPECT_EQ(view.messages().size(), before);
            EXPECT_FALSE(schedule("模式").empty());
            EXPECT_FALSE(view.state(按钮_确定).enabled);
        } else {
            ASSERT_EQ(view.messages().size(), before + 1);
            EXPECT_EQ(view.messages().back().text, c.message);
            EXPECT_EQ(view.messages().back().title, "信息：");
            EXPECT_EQ(view.messages().back().buttons, MB_OK);
            EXPECT_FALSE(settingsWritten());
            EXPECT_TRUE(disabledFields().empty());
        }
        view.click(c.mode);  // back to no mode, fields unlocked
        view.state(组合框_星期).selected = -1;
        view.state(编辑框_日).text.clear();
    }
}

TEST_F(ScheduleEditorTest, ConfirmSavesEachModeAndLocksItsFields) {
    struct Case {
        Control mode;
        std::string 模式;
        std::set<Control> locked;
    };
    const Case cases[] = {
        {选择框_每月, "每月一次", {按钮_确定, 编辑框_日, 编辑框_时, 编辑框_分, 编辑框_秒}},
        {选择框_每周, "每周一次", {按钮_确定, 组合框_星期, 编辑框_时, 编辑框_分, 编辑框_秒}},
        {选择框_每天, "每天一次", {按钮_确定, 编辑框_时, 编辑框_分, 编辑框_秒}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.模式);
        os.files.clear();
        view.click(c.mode);
        if (c.mode == 选择框_每月) view.type(编辑框_日, "15");
        if (c.mode == 选择框_每周) view.choose(组合框_星期, 5);
        typeTime("08", "5", "-");
        view.click(按钮_确定);

        EXPECT_EQ(schedule("模式"), c.模式);
        EXPECT_EQ(schedule("日期"), c.mode == 选择框_每月 ? "15" : "");
        EXPECT_EQ(schedule("星期"), c.mode == 选择框_每周 ? "星期六" : "");
        EXPECT_EQ(schedule("时"), "08");
        EXPECT_EQ(schedule("分"), "5");
        EXPECT_EQ(schedule("秒"), "-");
        EXPECT_EQ(disabledFields(), c.locked);
        EXPECT_TRUE(view.state(c.mode).enabled);
        EXPECT_TRUE(view.state(c.mode).checked);

        // A locked field takes no input.
        view.type(编辑框_时, "9");
        EXPECT_EQ(view.state(编辑框_时).text, "08");

        view.click(c.mode);
        EXPECT_TRUE(disabledFields().empty());
        view.state(编辑框_日).text.clear();
    }
}

struct ClampCase {
    Control box;
    std::string key;
    std::string typed;
    std::string saved;  // also what the box shows afterwards
};

TEST_F(ScheduleEditorTest, ConfirmReplacesOnlyValuesAboveTheUpperBounds) {
    const ClampCase cases[] = {
        {编辑框_日, "日期", "45", "1"},
        {编辑框_日, "日期", "32", "1"},
        {编辑框_日, "日期", "31", "31"},
        {编辑框_日, "日期", "-3", "-3"},
        {编辑框_日, "日期", "8", "8"},
        {编辑框_时, "时", "24", "24"},
        {编辑框_时, "时", "25", "0"},
        {编辑框_时, "时", "08", "08"},
        {编辑框_时, "时", "-", "-"},
        {编辑框_时, "时", "abc", "abc"},
        {编辑框_时, "时", "-30", "-30"},
        {编辑框_时, "时", "０", "０"},
        {编辑框_时, "时", "２５", "0"},
        {编辑框_时, "时", "4294967301", "4294967301"},
        {编辑框_分, "分", "60", "60"},
        {编辑框_分, "分", "61", "0"},
        {编辑框_秒, "秒", "60", "60"},
        {编辑框_秒, "秒", "61", "0"},
        {编辑框_秒, "秒", "2147483648", "2147483648"},
    };
    for (const ClampCase& c : cases) {
        SCOPED_TRACE(c.key + " " + c.typed);
        view.click(选择框_每月);
        view.type(编辑框_日, "1");
        typeTime("1", "1", "1");
        view.type(c.box, c.typed);
        view.click(按钮_确定);
        EXPECT_TRUE(view.messages().empty());
        EXPECT_EQ(schedule(c.key), c.saved);
        EXPECT_EQ(view.state(c.box).text, c.saved);
        view.click(选择框_每月);
    }
}

TEST_F(ScheduleEditorTest, TextsSetByTheProgramAreSavedAsTheyStand) {
    // A schedule restored from a hand-edited file.
    writeSetting(os, settingsFile(), "定时配置", "模式", "每天一次");
    restoreSchedule(k, "abc", "7", "0");
    view.click(按钮_确定);
    EXPECT_EQ(schedule("时"), "abc");
    EXPECT_EQ(schedule("分"), "7");
}

TEST_F(ScheduleEditorTest, WeekdayCanBeChosenAgainAfterAWeeklyConfirm) {
    view.click(选择框_每周);
    view.choose(组合框_星期, 2);
    typeTime("8", "30", "0");
    view.click(按钮_确定);
    ASSERT_FALSE(view.state(组合框_星期).enabled);
    view.choose(组合框_星期, 4);
    EXPECT_EQ(view.state(组合框_星期).selected, 2);

    view.click(选择框_每周);
    view.click(选择框_每周);
    EXPECT_TRUE(view.state(组合框_星期).visible);
    EXPECT_TRUE(view.state(组合框_星期).enabled);
    view.choose(组合框_星期, 4);
    view.click(按钮_确定);
    EXPECT_EQ(schedule("星期"), "星期五");
}

TEST_F(ScheduleEditorTest, OtherModesKeysStayInTheFile) {
    view.click(选择框_每月);
    view.type(编辑框_日, "12");
    typeTime("1", "2", "3");
    view.click(按钮_确定);
    view.click(选择框_每月);

    view.click(选择框_每天);
    typeTime("4", "5", "6");
    view.click(按钮_确定);
    EXPECT_EQ(schedule("模式"), "每天一次");
    EXPECT_EQ(schedule("日期"), "12");
    EXPECT_EQ(schedule("时"), "4");
    view.click(选择框_每天);

    view.click(选择框_每周);
    view.choose(组合框_星期, 0);
    view.click(按钮_确定);
    EXPECT_EQ(schedule("模式"), "每周一次");
    EXPECT_EQ(schedule("星期"), "星期一");
    EXPECT_EQ(schedule("日期"), "12");
}

TEST_F(ScheduleEditorTest, ConfirmWithNoModeDoesNothing) {
    view.state(按钮_确定).visible = true;
    view.click(按钮_确定);
    EXPECT_FALSE(settingsWritten());
    EXPECT_TRUE(view.messages().empty());
    EXPECT_TRUE(journal.entries.empty());
}

struct RestoreCase {
    std::string 模式;
    Control box;  // checked afterwards
    std::set<Control> fields;
};

TEST_F(ScheduleEditorTest, RestoreShowsTheSavedModeUnlocked) {
    const std::set<Control> time = {标签_时, 编辑框_时, 标签_分,  编辑框_分,
                                    标签_秒, 编辑框_秒, 按钮_确定};
    auto with = [&](std::set<Control> extra) {
        extra.insert(time.begin(), time.end());
        return extra;
    };
    const RestoreCase cases[] = {
        {"每月一次", 选择框_每月, with({标签_日, 编辑框_日})},
        {"每周一次", 选择框_每周, with({组合框_星期})},
        {"每天一次", 选择框_每天, time},
    };
    for (const RestoreCase& c : cases) {
        SCOPED_TRACE(c.模式);
        resetEditor();
        os.files.clear();
        writeSetting(os, settingsFile(), "定时配置", "模式", c.模式);
        writeSetting(os, settingsFile(), "定时配置", "日期", "31");
        writeSetting(os, settingsFile(), "定时配置", "星期", "星期三");
        journal.entries.clear();

        restoreSchedule(k, "8", "30", "0");

        for (Control box : kModeBoxes) {
            EXPECT_EQ(view.state(box).checked, box == c.box);
            EXPECT_EQ(view.state(box).enabled, box == c.box);
        }
        EXPECT_EQ(visibleFields(), c.fields);
        EXPECT_TRUE(disabledFields().empty());
        EXPECT_EQ(view.state(编辑框_时).text, "8");
        EXPECT_EQ(view.state(编辑框_分).text, "30");
        EXPECT_EQ(view.state(编辑框_秒).text, "0");
        EXPECT_EQ(view.state(编辑框_日).text, c.box == 选择框_每月 ? "31" : "");
        EXPECT_EQ(view.state(组合框_星期).selected, c.box == 选择框_每周 ? 2 : -1);
        EXPECT_FALSE(settingsWrittenSince());
    }
}

TEST_F(ScheduleEditorTest, RestoreOfAMissingOrUnknownModeLeavesTheStartState) {
    for (const char* mode : {"", "每月", "每天一次 x", "weekly", "每周两次"}) {
        SCOPED_TRACE(mode);
        os.files.clear();
        if (*mode) writeSetting(os, settingsFile(), "定时配置", "模式", mode);
        writeSetting(os, settingsFile(), "定时配置", "日期", "3");
        journal.entries.clear();
        restoreSchedule(k, "8", "30", "0");
        EXPECT_TRUE(journal.entries.empty()) << journal.entries.front();
        for (Control box : kModeBoxes) EXPECT_FALSE(view.state(box).checked);
        EXPECT_TRUE(visibleFields().empty());
    }
}

TEST_F(ScheduleEditorTest, RestoredWeekdaySelectsItsItem) {
    for (int i = 0; i < 7; ++i) {
        const std::string name = view.state(组合框_星期).items[i];
        SCOPED_TRACE(name);
        writeSetting(os, settingsFile(), "定时配置", "模式", "每周一次");
        writeSetting(os, settingsFile(), "定时配置", "星期", name);
        view.state(组合框_星期).selected = -1;
        restoreSchedule(k, "", "", "");
        EXPECT_EQ(view.state(组合框_星期).selected, i);
    }
    // A text no item begins with leaves the selection as it was.
    writeSetting(os, settingsFile(), "定时配置", "星期", "Sunday");
    view.state(组合框_星期).selected = 4;
    restoreSchedule(k, "", "", "");
    EXPECT_EQ(view.state(组合框_星期).selected, 4);
}

TEST_F(ScheduleEditorTest, RestoreWithoutSavedTimeShowsEmptyBoxes) {
    writeSetting(os, settingsFile(), "定时配置", "模式", "每天一次");
    view.state(编辑框_时).text = "stale";
    restoreSchedule(k, "", "", "");
    EXPECT_EQ(view.state(编辑框_时).text, "");
    EXPECT_TRUE(view.state(编辑框_时).visible);
}

}  // namespace
