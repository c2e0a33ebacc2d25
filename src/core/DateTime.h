#pragma once

// A local calendar date and time of day in whole seconds.
struct DateTime {
    int year = 1970;
    int month = 1;      // 1-12
    int day = 1;        // 1-31
    int hour = 0;       // 0-23
    int minute = 0;     // 0-59
    int second = 0;     // 0-59
    int dayOfWeek = 5;  // 1 = Sunday, 2 = Monday ... 7 = Saturday (the schedule compares against this)

    bool operator==(const DateTime&) const = default;
};
