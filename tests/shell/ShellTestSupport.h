#pragma once

#include <gtest/gtest.h>

#include <string>

#include "FakePlatform.h"
#include "FakeSession.h"
#include "FakeView.h"
#include "VirtualClock.h"
#include "core/AppState.h"
#include "core/Karvath.h"
#include "core/Paths.h"
#include "core/Settings.h"
#include "shell/Dispatcher.h"

// The whole program on fakes: a view on virtual time, an in-memory platform and
// a scripted session, wired through the real dispatcher.
struct Program {
    Program() {
        view.setSink(&dispatcher);
        os.processes["karvath"] = 1;
    }
    Program(const Program&) = delete;

    std::string settingsFile() { return settingsPath(k.runDirectory); }
    void saveSettings(const std::string& ini) { os.files[settingsFile()] = ini; }
    std::string setting(const std::string& section, const std::string& key) {
        return readSetting(os, settingsFile(), section, key);
    }
    void start() { view.loadWindow(Window::Main, false); }

    VirtualClock clock;
    FakeView view{clock};
    FakePlatform os{clock};
    FakeSession db;
    AppState state;
    Karvath k{state, view, os, db, "/opt/karvath", "karvath"};
    Dispatcher dispatcher{k};
};

class ShellTest : public ::testing::Test, public Program {};
