#pragma once

#include "core/Karvath.h"

// 按钮_获取本机ip clicked: opens the modal chooser "请选择".
void onLocalAddressClicked(Karvath& k);
// The chooser's buttons: fill the server address box and close the chooser.
void onHostNameChosen(Karvath& k);
void onLocalIpChosen(Karvath& k);
