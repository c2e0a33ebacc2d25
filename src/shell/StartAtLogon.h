#pragma once

#include "core/Karvath.h"

// 选择框_开机自启 clicked (the box has toggled already): registers the program
// to start at logon, or removes the registration.
void onStartAtLogonClicked(Karvath& k);
