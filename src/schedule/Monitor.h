#pragma once

#include "core/Karvath.h"

// Unattended mode: at each scheduled second the chosen database's log is
// measured, the size written to the activity log (编辑框_log), the log cleaned
// once it has reached a gigabyte, and the activity log saved to log.txt.

// Measures selectedDatabase's log, appends its size line(s), runs the cleanup
// at 1 GB or more, then appendActivityLog.
void monitorCheck(Karvath& k);

// The size lines of one measurement, each stamped with the clock as it is
// written: a local log in kilobytes, a remote one in catalogue megabytes. The
// units change at multiples of 1024 while the numbers are divided by 1000. At
// a gigabyte or more the cleanup runs after the lines.
void reportLocalLogSize(Karvath& k, float kilobytes);
void reportRemoteLogSize(Karvath& k, float megabytes);

// Writes log.txt's old bytes followed by the activity log's whole text back to
// log.txt in one exclusive write. The whole text each time: lines already in
// the file are written again, and existing files depend on that layout. A
// missing log.txt counts as empty; one that is there but cannot be read is
// left untouched until a later check can read it.
void appendActivityLog(Karvath& k);

// 选择框1 clicked (it has toggled already). On: saves the switch and starts the
// one-second tick. Off: saves the switch and returns the window to its
// disconnected state, the tick stopped.
void setUnattendedMode(Karvath& k);
