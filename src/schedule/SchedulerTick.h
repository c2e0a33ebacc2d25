#pragma once

#include <string>

#include "core/Karvath.h"

// The clock's dayOfWeek number of a weekday item: "星期日" 1, "星期一" 2 ...
// "星期六" 7; any other text, the empty text included, 0. Byte for byte.
int weekdayNumber(const std::string& item);

// The tick of 时钟1: reads the clock once and the schedule that stands in the
// editor's controls, and runs monitorCheck at a scheduled second. Keeps no
// state: an unconfirmed edit is in force at the next tick.
void scheduleTick(Karvath& k);
