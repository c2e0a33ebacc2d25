#include "sql/LogStatus.h"

#include "app/View.h"
#include "core/AppState.h"
#include "core/Format.h"
#include "core/Paths.h"
#include "core/Settings.h"
#include "platform/Platform.h"
#include "sql/GbkText.h"
#include "sql/LogText.h"
#include "sql/SqlSession.h"
#include "sql/SqlText.h"

namespace {

constexpr const char* kListCount = "SELECT count(NAME) FROM MASTER.DBO.SYSDATABASES";
constexpr const char* kListNames = "SELECT NAME FROM MASTER.DBO.SYSDATABASES";
constexpr const char* kChooserCount = "SELECT count(name) FROM master.dbo.sysdatabases";
constexpr const char* kChooserNames = "SELECT Name FROM Master..SysDatabases";

// The second row of the file query is the log file; 0 when the query failed.
ResultSet queryLogRow(SqlSession& db, const std::string& database) {
    ResultSet files = db.runQuery(logFileQuery(database));
    if (files != 0) db.moveNext(files);
    return files;
}

float localMeasureKb(Platform& os, const std::string& path) {
    return static_cast<float>(static_cast<double>(os.fileSize(os.nativePath(path))) / 1024.0);
}

enum class Measure { Local, Remote };

void listLogStatus(Karvath& k, Measure measure) {
    k.view.clearRows(超级列表框1);
    k.db.closeConnection();
    // Without a session or a count nothing can be listed: the list stays empty
    // rather than showing rows that may not be there.
    if (!k.db.openConnection(k.state.serverAddress, k.state.userName, k.state.password, "master"))
        return;
    ResultSet counted = k.db.runQuery(kListCount);
    if (counted == 0) return;
    const int count = k.db.readField(counted, 1).asCount();
    ResultSet names = k.db.runQuery(kListNames);
    if (names == 0) return;
    for (int i = 1; i <= count; ++i) {
        const std::string database = k.db.readField(names, 1).asText();
        // No database has an empty name: the names ran out (one was dropped
        // after the count), and a row for it would show a log that is not there.
        if (database.empty()) break;
        ResultSet files = queryLogRow(k.db, database);
        k.state.logFilePath = k.db.readField(files, "CurrentLocation").asText();
        k.state.logFileName = fileNamePart(k.state.logFilePath);
        const int row = k.view.insertRow(超级列表框1);
        k.view.setCellText(超级列表框1, row, 0, logNameText(k.state.logFilePath));
        if (measure == Measure::Local) {
            k.view.setCellText(超级列表框1, row, 1,
                               localSizeText(k.os.fileSize(k.os.nativePath(k.state.logFilePath))));
        } else {
            k.view.setCellText(超级列表框1, row, 1,
                               remoteSizeText(k.db.readField(files, "size").asNumber()));
        }
        k.db.moveNext(names);
    }
}

}  // namespace

std::string logNameText(std::string_view path) {
    return removeAll(lowerAscii(fileNamePart(path)), ".ldf");
}

std::string localSizeText(std::int64_t bytes) {
    const auto kb = static_cast<std::int64_t>(static_cast<double>(bytes) / 1024.0);
    if (kb < 1024) return toText(static_cast<int>(kb)) + " KB";
    if (kb < 1048576) return toText(static_cast<double>(kb) / 1000) + " MB";
    return toText(static_cast<double>(kb) / 1000000) + " GB";
}

std::string remoteSizeText(double pages) {
    const auto x = static_cast<float>(pages / 124.0);
    const double mb = x;
    if (!atLeast(mb, 1.024)) return toText(roundDecimals(mb * 1000, 2)) + " KB";
    if (!atLeast(mb, 1048.576)) return toText(roundDecimals(mb, 2)) + " MB";
    return toText(roundDecimals(mb / 1000, 2)) + " GB";
}

std::string localHostName(Platform& os) {
    std::string name = os.hostName();
    return gbkCharCount(name) <= 15 ? name : std::string();
}

bool isLocalServer(Karvath& k) {
    const std::string box = k.view.getText(编辑框_IP);
    // A lookup that failed gives the empty text, which names no machine: it
    // must not make an empty box count as this one.
    const std::string ip = k.os.firstIPv4();
    if (!ip.empty() && box == ip) return true;
    const std::string host = localHostName(k.os);
    return !host.empty() && box == host;
}

void refreshLogStatus(Karvath& k) {
    if (isLocalServer(k))
        listLogStatusLocal(k);
    else
        listLogStatusRemote(k);
}

void listLogStatusLocal(Karvath& k) { listLogStatus(k, Measure::Local); }

void listLogStatusRemote(Karvath& k) { listLogStatus(k, Measure::Remote); }

void fillDatabaseList(Karvath& k) {
    ResultSet counted = k.db.runQuery(kChooserCount);
    const int count = counted != 0 ? k.db.readField(counted, 1).asCount() : 0;
    ResultSet names = counted != 0 ? k.db.runQuery(kChooserNames) : 0;
    k.view.clearItems(组合框_库名);
    if (names == 0) return;
    for (int i = 1; i <= count; ++i) {
        const std::string database = k.db.readField(names, "Name").asText();
        if (database.empty()) break;  // the names ran out before the count
        k.view.addItem(组合框_库名, database);
        k.db.moveNext(names);
    }
}

float measureLocalLogSize(Karvath& k, const std::string& database) {
    ResultSet files = queryLogRow(k.db, database);
    k.state.logFilePath = k.db.readField(files, "CurrentLocation").asText();
    return localMeasureKb(k.os, k.state.logFilePath);
}

float measureRemoteLogSize(Karvath& k, const std::string& database) {
    ResultSet files = queryLogRow(k.db, database);
    return static_cast<float>(k.db.readField(files, "size").asNumber() / 124.0);
}

void onDatabaseChosen(Karvath& k) {
    k.state.selectedDatabase = k.view.itemText(组合框_库名, k.view.currentIndex(组合框_库名));
    writeSetting(k.os, settingsPath(k.runDirectory), "配置", "指定库", k.state.selectedDatabase);
}

void onLogStatusLabelPressed(Karvath& k) {
    // Longer than "Loading": a cleanup or this animation is under way.
    if (k.view.getText(透明标签_loading).size() > 7) return;
    k.view.clearRows(超级列表框1);
    k.view.setVisible(透明标签_loading, true);
    for (int i = 0; i < 3; ++i) {
        k.view.setText(透明标签_loading, k.view.getText(透明标签_loading) + ".");
        k.view.waitProcessingEvents(500);
    }
    k.view.setVisible(透明标签_loading, false);
    k.view.setText(透明标签_loading, "Loading");
    refreshLogStatus(k);
}
