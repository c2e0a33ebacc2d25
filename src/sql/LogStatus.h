#pragma once

#include <string>

#include "core/Karvath.h"

class Platform;

// The catalogue of databases and the log status list.

// The machine's host name as the address chooser and isLocalServer use it:
// empty when it is longer than 15 characters or cannot be had.
std::string localHostName(Platform& os);
// True when the server address box names this machine: its first IPv4 address
// or its host name, byte for byte.
bool isLocalServer(Karvath& k);
// Redraws the log status list, measured on disk for a local server and from
// the catalogue otherwise. Each listing reopens the session.
void refreshLogStatus(Karvath& k);
void listLogStatusLocal(Karvath& k);
void listLogStatusRemote(Karvath& k);
// Fills the database chooser from the open session.
void fillDatabaseList(Karvath& k);
// The log's size on this machine's disk in KB (-1/1024 when the file is missing).
float measureLocalLogSize(Karvath& k, const std::string& database);
// The log's catalogue size in 8-KB pages divided by 124, taken as MB.
float measureRemoteLogSize(Karvath& k, const std::string& database);

// Event handlers.
void onDatabaseChosen(Karvath& k);        // 组合框_库名, a list item selected
void onLogStatusLabelPressed(Karvath& k); // 透明标签_log状态, left button pressed
