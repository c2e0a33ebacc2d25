#pragma once

#include <string>

#include "app/Controls.h"
#include "core/Karvath.h"

// The schedule editor (分组框2): three exclusive mode boxes, the fields each
// mode needs and a confirm button that validates, saves and locks them. The
// schedule in force is what stands in the controls; the settings file only
// carries it across restarts.

// 选择框_每月, 选择框_每周 or 选择框_每天 clicked; the box has toggled already.
void onModeBoxClicked(Karvath& k, Control box);

// 按钮_确定 clicked: the checked mode's fields are validated, saved to section
// 定时配置 and locked.
void onConfirmClicked(Karvath& k);

// Shows the saved schedule at start, unlocked. hour, minute and second are the
// texts of 时, 分 and 秒 the start-up sequence has read already.
void restoreSchedule(Karvath& k, const std::string& hour, const std::string& minute,
                     const std::string& second);
