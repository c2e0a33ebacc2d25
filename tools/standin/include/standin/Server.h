// A small SQL Server stand-in that speaks TDS 7.1-7.4 on a loopback port.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "standin/Model.h"

namespace karvath::standin {

struct StatementFault {
    enum class Action {
        Delay,            // wait delayMs before answering; an ATTENTION ends the wait
        PermissionError,  // answer with errorNumber (5011 or 15247) instead of running
        DropConnection,   // close the connection without answering
        DropDatabase,     // run the batch, then remove database `database` from the state
    };
    Action action = Action::Delay;
    std::string pattern;  // substring of the SQL text, or an ECMAScript regex (regex = true)
    bool regex = false;   // regex is searched, case-insensitively
    int delayMs = 0;
    int errorNumber = 5011;
    std::string database;
    int times = 0;  // how often it fires; 0 = every time
};

struct Faults {
    bool refuseLogins = false;     // every login gets 18456
    int loginDelayMs = 0;          // before the login is answered
    bool dropAfterLogin = false;   // close right after a successful login
    int dropAfterStatements = -1;  // per connection: close on batch n+1 (driver batches count)
    std::vector<StatementFault> statements;  // first match wins
};

struct LoginRecord {
    int connection = 0;
    std::string user;
    std::string password;
    std::string hostName;  // the workstation id
    std::string database;
    std::string appName;
    std::string serverName;
    std::uint32_t tdsVersion = 0;  // as the client asked, e.g. 0x74000004
    std::uint32_t packetSize = 0;  // as the client asked (0: the server's default)
    bool accepted = false;
};

struct StatementRecord {
    int connection = 0;
    std::string sql;
};

struct ServerOptions {
    std::string host = "127.0.0.1";
    int port = 0;  // 0 = ephemeral
    // Packet size the server answers with (ENVCHANGE), 512..32767; 0 = what the client asks.
    std::uint32_t packetSize = 0;
};

class Server {
public:
    explicit Server(State state, ServerOptions options = {});
    ~Server();  // stops and joins
    Server(const Server&) = delete;
    Server& operator=(const Server&) = delete;

    // Creates missing real files, binds and starts serving. Returns the port, 0 on failure
    // (see lastError()).
    int start();
    void stop();
    int port() const;
    std::string lastError() const;

    // Everything received, in order.
    std::vector<LoginRecord> logins() const;
    std::vector<StatementRecord> statements() const;
    std::vector<std::string> statementTexts() const;
    void clearRecords();
    // Called (from server threads, serialised) with one line per event; see README.md.
    void setEventSink(std::function<void(const std::string& line)> sink);

    // Fault injection; takes effect for the next login or batch.
    void setFaults(Faults faults);
    Faults faults() const;
    void addStatementFault(StatementFault fault);

    // Reading and changing the catalogue while serving.
    State snapshot() const;
    void update(const std::function<void(State&)>& change);
    std::optional<Recovery> recovery(std::string_view database) const;
    // Current size in 8-KB pages (a real file's size on disk / 8192).
    std::optional<std::int64_t> fileSizePages(std::string_view database,
                                              std::string_view logicalName) const;
    // The path sys.master_files reports (absolute for a real file).
    std::optional<std::string> physicalPath(std::string_view database,
                                            std::string_view logicalName) const;

    struct Impl;

private:
    std::unique_ptr<Impl> impl_;
};

}  // namespace karvath::standin
