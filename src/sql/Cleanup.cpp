#include "sql/Cleanup.h"

#include <cmath>

#include "app/View.h"
#include "core/AppState.h"
#include "core/Format.h"
#include "sql/CleanupText.h"
#include "sql/LogStatus.h"
#include "sql/LogText.h"
#include "sql/SqlSession.h"
#include "sql/SqlText.h"

namespace {

float measure(Karvath& k, bool local, const std::string& database) {
    return local ? measureLocalLogSize(k, database) : measureRemoteLogSize(k, database);
}

float difference(float before, float after) {
    return static_cast<float>(static_cast<double>(before) - static_cast<double>(after));
}

void advance(Karvath& k, int step) {
    k.view.setPosition(进度条1, k.view.getPosition(进度条1) + step);
}

}  // namespace

std::vector<std::string> cleanupStatements(std::string_view database) {
    const std::string name = sqlIdentifier(database);
    return {
        "ALTER DATABASE " + name + " SET RECOVERY SIMPLE ",
        "USE " + name,
        "DBCC SHRINKFILE (N'" + sqlLiteralBody(std::string(database) + "_log") +
            "' , 0, TRUNCATEONLY)",
        "ALTER DATABASE " + name + " SET RECOVERY FULL",
    };
}

std::vector<std::string> localSizeAmounts(float kilobytes) {
    const double x = kilobytes;
    std::vector<std::string> amounts;
    if (!atLeast(x, 1024))
        amounts.push_back(toText(kilobytes) + "KB\r\n");
    else
        amounts.push_back(toText(x / 1000) + "MB\r\n");
    if (atLeast(x, 1048576)) amounts.push_back(toText(x / 1000000) + "GB\r\n");
    return amounts;
}

std::vector<std::string> remoteSizeAmounts(float megabytes) {
    const double x = megabytes;
    std::vector<std::string> amounts;
    if (!atLeast(x, 1.024))
        amounts.push_back(toText(x * 1000) + "KB\r\n");
    else
        amounts.push_back(toText(megabytes) + "MB\r\n");
    if (atLeast(x, 1024)) amounts.push_back(toText(x / 1000) + "GB\r\n");
    return amounts;
}

std::vector<std::string> localFreedAmounts(float freed) { return localSizeAmounts(freed); }

std::vector<std::string> remoteFreedAmounts(float before, float after) {
    if (std::trunc(before) == std::trunc(after)) return {"0KB\r\n"};
    return remoteSizeAmounts(difference(before, after));
}

void runCleanup(Karvath& k) {
    if (k.view.itemText(组合框_库名, k.view.currentIndex(组合框_库名)).empty()) {
        k.view.showMessage("请指定数据库");
        return;
    }
    k.view.setEnabled(按钮_一键清理, false);
    k.view.setText(透明标签_loading, " Loading");
    k.view.setText(按钮_一键清理, "正在清理...");

    // Taken once: a database chosen during one of the waits must not receive
    // the second half of the statements and be left in simple recovery, and
    // both measurements must be in the same unit.
    const std::string database = k.state.selectedDatabase;
    const bool local = isLocalServer(k);
    const float before = measure(k, local, database);

    const std::vector<std::string> statements = cleanupStatements(database);
    k.view.setPosition(进度条1, 0);
    k.view.waitProcessingEvents(500);
    advance(k, 10);
    // A failed statement is not a reason to skip the rest: the last one puts
    // the database back into full recovery.
    bool simple = false;
    for (std::size_t i = 0; i < 3; ++i) {
        const bool ran = k.db.executeStatement(statements[i]);
        if (i == 0) simple = ran;
        advance(k, 20);
        k.view.waitProcessingEvents(500);
    }
    const bool full = k.db.executeStatement(statements[3]);
    k.view.setPosition(进度条1, 100);

    refreshLogStatus(k);
    // The session went away after the switch to simple recovery (a dropped
    // connection, unattended mode switched off during a wait): the refresh has
    // opened a new one, and the database must not stay in simple recovery.
    if (simple && !full) k.db.executeStatement(statements[3]);
    const float after = measure(k, local, database);

    k.view.setText(按钮_一键清理, "清理完成");
    k.view.waitProcessingEvents(500);
    k.view.setEnabled(按钮_一键清理, true);
    k.view.setText(透明标签_loading, "Loading");
    k.view.setText(按钮_一键清理, "一键清理");

    const std::vector<std::string> amounts =
        local ? localFreedAmounts(difference(before, after)) : remoteFreedAmounts(before, after);
    for (const std::string& amount : amounts)
        k.view.appendText(编辑框_log, timeText(currentTime(k.os)) + "  " + database +
                                          "清理完毕，共释放了" + amount);
}
