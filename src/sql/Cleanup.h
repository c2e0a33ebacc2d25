#pragma once

#include "core/Karvath.h"

// Empties and shrinks the chosen database's transaction log: simple recovery,
// shrink, full recovery; then redraws the list and reports what was freed in
// the activity log. 按钮_一键清理 clicked, and the unattended monitor, call it.
void runCleanup(Karvath& k);
