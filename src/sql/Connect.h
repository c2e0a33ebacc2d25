#pragma once

#include "core/Karvath.h"

// 按钮_连接 clicked: validate, connect, fill the lists, save the login.
void onConnectClicked(Karvath& k);
