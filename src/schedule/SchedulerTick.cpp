#include "schedule/SchedulerTick.h"

#include "app/View.h"
#include "core/Format.h"
#include "schedule/Monitor.h"

namespace {

// Each box is read only when its comparison is reached.
bool fieldMatches(View& v, Control box, int value) { return value == textToInt(v.getText(box)); }

bool timeMatches(View& v, const DateTime& now) {
    return fieldMatches(v, 编辑框_时, now.hour) && fieldMatches(v, 编辑框_分, now.minute) &&
           fieldMatches(v, 编辑框_秒, now.second);
}

}  // namespace

int weekdayNumber(const std::string& item) {
    static const char* const kNames[] = {"星期日", "星期一", "星期二", "星期三",
                                         "星期四", "星期五", "星期六"};
    for (int i = 0; i < 7; ++i)
        if (item == kNames[i]) return i + 1;
    return 0;
}

void scheduleTick(Karvath& k) {
    View& v = k.view;
    const DateTime now = currentTime(k.os);
    const int weekday = weekdayNumber(v.itemText(组合框_星期, v.currentIndex(组合框_星期)));

    if (v.isChecked(选择框_每月) && fieldMatches(v, 编辑框_日, now.day) && timeMatches(v, now))
        monitorCheck(k);
    if (v.isChecked(选择框_每周) && now.dayOfWeek == weekday && timeMatches(v, now))
        monitorCheck(k);
    if (v.isChecked(选择框_每天) && timeMatches(v, now)) monitorCheck(k);
}
