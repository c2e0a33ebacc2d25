#include <gtest/gtest.h>

#include "core/Paths.h"

namespace {

// 配置文件 in UTF-8: the file name on disk, whatever the literals are compiled to.
const std::string kSettingsName = "/\xE9\x85\x8D\xE7\xBD\xAE\xE6\x96\x87\xE4\xBB\xB6.ini";

TEST(Paths, CutAtLastSeparator) {
    struct Case {
        const char* executable;
        const char* directory;
        const char* name;
    };
    const Case cases[] = {
        {"/opt/karvath/karvath", "/opt/karvath", "karvath"},
        {"/x", "", "x"},
        {"C:\\A\\B\\x.exe", "C:\\A\\B", "x.exe"},
        {"C:\\x.exe", "C:", "x.exe"},
        {"C:\\A/B\\x.exe", "C:\\A/B", "x.exe"},
        {"/opt/my\\dir/karvath", "/opt/my\\dir",
         "karvath"},  // a backslash is a plain character here
        {"/opt/a\\b", "/opt", "a\\b"},
        {"karvath", "", "karvath"},
    };
    for (const auto& c : cases) {
        const Paths paths = Paths::fromExecutable(c.executable);
        EXPECT_EQ(paths.runDirectory, c.directory) << c.executable;
        EXPECT_EQ(paths.executableName, c.name) << c.executable;
    }
}

TEST(Paths, SettingsFileJoinedWithSlashInUtf8) {
    EXPECT_EQ(settingsPath("C:\\A\\B"), "C:\\A\\B" + kSettingsName);
    EXPECT_EQ(settingsPath("/opt/karvath"), "/opt/karvath" + kSettingsName);
    EXPECT_EQ(settingsPath(Paths::fromExecutable("/x").runDirectory), kSettingsName);
    EXPECT_EQ(settingsPath(Paths::fromExecutable("C:\\x.exe").runDirectory), "C:" + kSettingsName);
}

TEST(Paths, ActivityLogBesideExecutable) {
    EXPECT_EQ(activityLogPath("/opt/karvath"), "/opt/karvath/log.txt");
    EXPECT_EQ(activityLogPath(""), "/log.txt");
}

}  // namespace
