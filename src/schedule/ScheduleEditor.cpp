#include "schedule/ScheduleEditor.h"

#include <initializer_list>

#include "app/View.h"
#include "core/Format.h"
#include "core/Paths.h"
#include "core/Settings.h"

namespace {

const char* const kSection = "定时配置";

void writeSchedule(Karvath& k, const std::string& key, const std::string& value) {
    writeSetting(k.os, settingsPath(k.runDirectory), kSection, key, value);
}

std::string readSchedule(Karvath& k, const std::string& key) {
    return readSetting(k.os, settingsPath(k.runDirectory), kSection, key);
}

void setVisible(View& v, std::initializer_list<Control> controls, bool visible) {
    for (Control c : controls) v.setVisible(c, visible);
}

void setEnabled(View& v, std::initializer_list<Control> controls, bool enabled) {
    for (Control c : controls) v.setEnabled(c, enabled);
}

// The two mode boxes other than `box`, in their window order.
std::pair<Control, Control> otherModes(Control box) {
    if (box == 选择框_每月) return {选择框_每周, 选择框_每天};
    if (box == 选择框_每周) return {选择框_每月, 选择框_每天};
    return {选择框_每月, 选择框_每周};
}

void showTimeFields(View& v) {
    setVisible(v, {标签_时, 编辑框_时, 标签_分, 编辑框_分, 标签_秒, 编辑框_秒, 按钮_确定}, true);
}

void hideTimeFields(View& v) {
    setVisible(v, {标签_时, 编辑框_时, 标签_分, 编辑框_分, 标签_秒, 编辑框_秒, 按钮_确定}, false);
}

bool timeIncomplete(View& v) {
    return v.getText(编辑框_时).empty() || v.getText(编辑框_分).empty() ||
           v.getText(编辑框_秒).empty();
}

// Upper bounds only: zero, negative values and texts without digits pass as typed.
void saveField(Karvath& k, Control box, const std::string& key, int bound,
               const std::string& replacement) {
    std::string text = k.view.getText(box);
    if (textToInt(text) > bound) {
        writeSchedule(k, key, replacement);
        k.view.setText(box, replacement);
    } else {
        writeSchedule(k, key, text);
    }
}

void saveTime(Karvath& k) {
    saveField(k, 编辑框_时, "时", 24, "0");
    saveField(k, 编辑框_分, "分", 60, "0");
    saveField(k, 编辑框_秒, "秒", 60, "0");
}

void confirmMonthly(Karvath& k) {
    View& v = k.view;
    if (v.getText(编辑框_日).empty()) {
        v.showMessage("日期不能为空");
        return;
    }
    if (timeIncomplete(v)) {
        v.showMessage("时间不能为空");
        return;
    }
    writeSchedule(k, "模式", "每月一次");
    saveField(k, 编辑框_日, "日期", 31, "1");
    saveTime(k);
    setEnabled(v, {按钮_确定, 编辑框_日, 编辑框_时, 编辑框_分, 编辑框_秒}, false);
}

void confirmWeekly(Karvath& k) {
    View& v = k.view;
    int weekday = v.currentIndex(组合框_星期);
    if (weekday == -1) {
        v.showMessage("请选择星期");
        return;
    }
    if (timeIncomplete(v)) {
        v.showMessage("时间不能为空");
        return;
    }
    writeSchedule(k, "模式", "每周一次");
    writeSchedule(k, "星期", v.itemText(组合框_星期, weekday));
    saveTime(k);
    setEnabled(v, {按钮_确定, 组合框_星期, 编辑框_时, 编辑框_分, 编辑框_秒}, false);
}

void confirmDaily(Karvath& k) {
    View& v = k.view;
    if (timeIncomplete(v)) {
        v.showMessage("时间不能为空");
        return;
    }
    writeSchedule(k, "模式", "每天一次");
    saveTime(k);
    setEnabled(v, {按钮_确定, 编辑框_时, 编辑框_分, 编辑框_秒}, false);
}

void showTime(View& v, const std::string& hour, const std::string& minute,
              const std::string& second) {
    setVisible(v, {标签_时, 编辑框_时}, true);
    v.setText(编辑框_时, hour);
    setVisible(v, {标签_分, 编辑框_分}, true);
    v.setText(编辑框_分, minute);
    setVisible(v, {标签_秒, 编辑框_秒}, true);
    v.setText(编辑框_秒, second);
}

}  // namespace

void onModeBoxClicked(Karvath& k, Control box) {
    View& v = k.view;
    auto [first, second] = otherModes(box);
    if (v.isChecked(box)) {
        v.setChecked(first, false);
        v.setEnabled(first, false);
        v.setChecked(second, false);
        v.setEnabled(second, false);
        if (box == 选择框_每月) setVisible(v, {标签_日, 编辑框_日}, true);
        if (box == 选择框_每周) v.setVisible(组合框_星期, true);
        showTimeFields(v);
        return;
    }
    setEnabled(v, {first, second}, true);
    if (box == 选择框_每周) {
        v.setVisible(组合框_星期, false);
    } else {
        setVisible(v, {标签_日, 编辑框_日}, false);
    }
    hideTimeFields(v);
    // Undo whatever a confirm locked, so the mode can be edited again.
    v.setEnabled(按钮_确定, true);
    v.setEnabled(box == 选择框_每周 ? 组合框_星期 : 编辑框_日, true);
    setEnabled(v, {编辑框_时, 编辑框_分, 编辑框_秒}, true);
}

void onConfirmClicked(Karvath& k) {
    if (k.view.isChecked(选择框_每月)) confirmMonthly(k);
    if (k.view.isChecked(选择框_每周)) confirmWeekly(k);
    if (k.view.isChecked(选择框_每天)) confirmDaily(k);
}

void restoreSchedule(Karvath& k, const std::string& hour, const std::string& minute,
                     const std::string& second) {
    View& v = k.view;
    if (readSchedule(k, "模式") == "每月一次") {
        v.setChecked(选择框_每月, true);
        setEnabled(v, {选择框_每周, 选择框_每天}, false);
        setVisible(v, {标签_日, 编辑框_日}, true);
        v.setText(编辑框_日, readSchedule(k, "日期"));
        showTime(v, hour, minute, second);
        v.setVisible(按钮_确定, true);
    }
    if (readSchedule(k, "模式") == "每周一次") {
        v.setChecked(选择框_每周, true);
        setEnabled(v, {选择框_每月, 选择框_每天}, false);
        v.setVisible(组合框_星期, true);
        v.selectByText(组合框_星期, readSchedule(k, "星期"));
        showTime(v, hour, minute, second);
        v.setVisible(按钮_确定, true);
    }
    if (readSchedule(k, "模式") == "每天一次") {
        v.setChecked(选择框_每天, true);
        setEnabled(v, {选择框_每月, 选择框_每周}, false);
        showTime(v, hour, minute, second);
        v.setVisible(按钮_确定, true);
    }
}
