#pragma once

#include <string>

struct AppState;
class View;
class Platform;
class SqlSession;

// What every handler works on: the one AppState record and the four doors to
// the world. Passed explicitly; no hidden state.
struct Karvath {
    AppState& state;
    View& view;
    Platform& os;
    SqlSession& db;
    std::string runDirectory;    // directory of the executable, no trailing separator
    std::string executableName;  // the executable's file name
};
