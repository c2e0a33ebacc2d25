#pragma once

#include "core/Karvath.h"

// How many running processes have this program's executable file name; the
// program's own process is among them.
int countRunningCopies(Karvath& k);

// The main window's created event: refuses a second copy, shows the window
// only when no settings file exists, puts up the tray icon, then restores the
// saved state.
void onMainWindowCreated(Karvath& k);

// The second half of the created event: the saved login, database, switches
// and schedule come back, and unattended mode reconnects by itself.
void restoreSavedState(Karvath& k);
