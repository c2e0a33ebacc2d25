#pragma once

#include <cstdint>
#include <ctime>

#include "core/DateTime.h"

// Virtual time for logic tests: milliseconds since a settable local date-time.
// The fake view advances it during waits and timer ticks; the fake platform
// reads its date-time.
class VirtualClock {
public:
    // Sets the wall clock to the given local date-time (dayOfWeek is derived).
    void set(int year, int month, int day, int hour, int minute, int second) {
        std::tm tm{};
        tm.tm_year = year - 1900;
        tm.tm_mon = month - 1;
        tm.tm_mday = day;
        tm.tm_hour = hour;
        tm.tm_min = minute;
        tm.tm_sec = second;
        baseSeconds_ = static_cast<std::int64_t>(timegm(&tm));
        ms_ = 0;
    }
    std::int64_t ms() const { return ms_; }
    void advance(std::int64_t ms) { ms_ += ms; }
    void advanceTo(std::int64_t ms) {
        if (ms > ms_) ms_ = ms;
    }
    DateTime now() const {
        std::time_t t = static_cast<std::time_t>(baseSeconds_ + ms_ / 1000);
        std::tm tm{};
        gmtime_r(&t, &tm);
        DateTime d;
        d.year = tm.tm_year + 1900;
        d.month = tm.tm_mon + 1;
        d.day = tm.tm_mday;
        d.hour = tm.tm_hour;
        d.minute = tm.tm_min;
        d.second = tm.tm_sec;
        d.dayOfWeek = tm.tm_wday + 1;
        return d;
    }

private:
    std::int64_t baseSeconds_ = 1615798923;  // 2021-03-15 09:02:03, a Monday
    std::int64_t ms_ = 0;
};
