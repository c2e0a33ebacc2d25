#include "standin/Server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <list>
#include <map>
#include <mutex>
#include <regex>
#include <thread>

#include "Catalogue.h"
#include "Sql.h"
#include "Tds.h"
#include "Text.h"

namespace karvath::standin {

namespace {

using Clock = std::chrono::steady_clock;
using tds::Bytes;

// Far above anything a client of the stand-in sends; a bound on what one message may cost.
constexpr std::size_t kMaxMessage = 64 * 1024 * 1024;

std::string escapeField(std::string_view s) {
    std::string out;
    out.reserve(s.size());
    for (char c : s) {
        switch (c) {
            case '\\':
                out += "\\\\";
                break;
            case '\t':
                out += "\\t";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            default:
                // Other control characters (FreeTDS sends "host\0port" as the
                // server name) as \xHH, so the log stays text.
                if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) {
                    static const char kHex[] = "0123456789abcdef";
                    out += "\\x";
                    out += kHex[(static_cast<unsigned char>(c) >> 4) & 0xf];
                    out += kHex[static_cast<unsigned char>(c) & 0xf];
                } else {
                    out += c;
                }
        }
    }
    return out;
}

bool faultMatches(const StatementFault& f, const std::string& sql) {
    if (!f.regex) return sql.find(f.pattern) != std::string::npos;
    try {
        return std::regex_search(sql,
                                 std::regex(f.pattern, std::regex::ECMAScript | std::regex::icase));
    } catch (const std::regex_error&) {
        return false;
    }
}

std::uint32_t negotiateVersion(std::uint32_t asked) {
    for (std::uint32_t v : {tds::kTds74, tds::kTds73B, tds::kTds73A, tds::kTds72, tds::kTds71}) {
        if (asked >= v) return v;
    }
    return 0;
}

}  // namespace

struct Server::Impl {
    State state;
    ServerOptions options;
    mutable std::mutex stateMutex;  // state and faults
    Faults faults;

    mutable std::mutex recordMutex;  // records and the sink
    std::vector<LoginRecord> loginRecords;
    std::vector<StatementRecord> statementRecords;
    std::function<void(const std::string&)> sink;

    int listenFd = -1;
    int wakeFd = -1;  // an eventfd that becomes readable once, at stop
    int port = 0;
    std::string error;
    std::atomic<bool> running{false};
    std::atomic<int> nextConnection{1};
    std::thread acceptThread;

    struct Worker {
        std::thread thread;
        std::atomic<bool> finished{false};
    };
    std::mutex workersMutex;
    std::list<Worker> workers;

    void emit(const std::string& line) {
        // recordMutex held by the caller
        if (sink) sink(line);
    }

    void acceptLoop();
    void reapFinished(bool all);
};

namespace {

class Connection {
public:
    Connection(Server::Impl& server, int fd, int id)
        : srv_(server), fd_(fd), id_(id), spid_(static_cast<std::uint16_t>(50 + id % 30000)) {}

    void serve() {
        {
            std::lock_guard lock(srv_.recordMutex);
            srv_.emit("CONNECT\t" + std::to_string(id_));
        }
        if (login()) {
            while (handleMessage()) {
            }
        }
        std::lock_guard lock(srv_.recordMutex);
        srv_.emit("DISCONNECT\t" + std::to_string(id_));
    }

private:
    enum class Read { Ok, Closed, Timeout };

    // Waits until the socket is readable; Closed at stop, Timeout when the deadline passes.
    Read waitReadable(std::optional<Clock::time_point> deadline) {
        while (true) {
            int timeout = -1;
            if (deadline) {
                const auto left =
                    std::chrono::ceil<std::chrono::milliseconds>(*deadline - Clock::now()).count();
                if (left <= 0) return Read::Timeout;
                timeout = static_cast<int>(left);
            }
            pollfd fds[2] = {{fd_, POLLIN, 0}, {srv_.wakeFd, POLLIN, 0}};
            const int n = ::poll(fds, 2, timeout);
            if (n < 0 && errno == EINTR) continue;
            if (n < 0 || (fds[1].revents & POLLIN)) return Read::Closed;
            if (fds[0].revents) return Read::Ok;
        }
    }

    bool readExact(std::uint8_t* buf, std::size_t n) {
        std::size_t got = 0;
        while (got < n) {
            if (waitReadable(std::nullopt) != Read::Ok) return false;
            const ssize_t r = ::recv(fd_, buf + got, n - got, 0);
            if (r < 0 && errno == EINTR) continue;
            if (r <= 0) return false;
            got += static_cast<std::size_t>(r);
        }
        return true;
    }

    // Reads one message (packets up to the one marked end of message).
    Read readMessage(std::uint8_t& type, Bytes& payload,
                     std::optional<Clock::time_point> deadline = std::nullopt) {
        payload.clear();
        const Read first = waitReadable(deadline);
        if (first != Read::Ok) return first;
        bool firstPacket = true;
        while (true) {
            std::uint8_t header[tds::kHeaderSize];
            if (!readExact(header, sizeof header)) return Read::Closed;
            const std::size_t length = (header[2] << 8) | header[3];
            if (length < tds::kHeaderSize) return Read::Closed;
            if (firstPacket) type = header[0];
            firstPacket = false;
            const std::size_t at = payload.size();
            if (at + length > kMaxMessage) return Read::Closed;
            payload.resize(at + length - tds::kHeaderSize);
            if (!readExact(payload.data() + at, length - tds::kHeaderSize)) return Read::Closed;
            if (header[1] & tds::kStatusEom) return Read::Ok;
        }
    }

    bool send(std::uint8_t type, const Bytes& payload) {
        const Bytes wire = tds::framePackets(type, payload, packetSize_, spid_);
        std::size_t sent = 0;
        while (sent < wire.size()) {
            const ssize_t n = ::send(fd_, wire.data() + sent, wire.size() - sent, MSG_NOSIGNAL);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) return false;
            sent += static_cast<std::size_t>(n);
        }
        return true;
    }

    bool sendTokens(tds::TokenWriter& w) { return send(tds::kTabularResult, w.bytes()); }

    // Sleeps without reading the socket; false when the server stops meanwhile.
    bool pause(int ms) {
        pollfd wake{srv_.wakeFd, POLLIN, 0};
        const auto deadline = Clock::now() + std::chrono::milliseconds(ms);
        while (true) {
            const auto left =
                std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
            if (left <= 0) return true;
            const int n = ::poll(&wake, 1, static_cast<int>(left));
            if (n > 0) return false;
        }
    }

    Faults currentFaults() {
        std::lock_guard lock(srv_.stateMutex);
        return srv_.faults;
    }

    bool login() {
        std::uint8_t type = 0;
        Bytes payload;
        if (readMessage(type, payload) != Read::Ok) return false;
        if (type == tds::kPrelogin) {
            const auto request = tds::parsePrelogin(payload);
            if (!request) return false;
            if (!send(tds::kTabularResult, tds::preloginResponse())) return false;
            // No TLS here: a client that insists on encryption is refused by closing.
            const auto enc = request->encryption.value_or(tds::kEncryptOff) & 0x0F;
            if (enc == tds::kEncryptOn || enc == tds::kEncryptReq) {
                std::lock_guard lock(srv_.recordMutex);
                srv_.emit("REFUSED\t" + std::to_string(id_) + "\tencryption required");
                return false;
            }
            if (readMessage(type, payload) != Read::Ok) return false;
        }
        if (type != tds::kLogin7) return false;
        const auto login = tds::parseLogin7(payload);
        if (!login) return false;
        version_ = negotiateVersion(login->tdsVersion);
        if (version_ == 0) return false;  // TDS 7.0 and older are not spoken here

        const Faults faults = currentFaults();
        if (faults.loginDelayMs > 0 && !pause(faults.loginDelayMs)) return false;

        std::string database = login->database.empty() ? "master" : login->database;
        bool accepted = false;
        bool knownDatabase = false;
        {
            std::lock_guard lock(srv_.stateMutex);
            if (!faults.refuseLogins && !login->sspi) {
                for (const Login& l : srv_.state.logins) {
                    if (equalsNoCase(l.user, login->user) && l.password == login->password) {
                        accepted = true;
                    }
                }
            }
            if (const Database* db = srv_.state.findDatabase(database)) {
                knownDatabase = true;
                database = db->name;
            }
        }
        const bool ok = accepted && knownDatabase;
        {
            std::lock_guard lock(srv_.recordMutex);
            srv_.loginRecords.push_back({id_, login->user, login->password, login->hostName,
                                         login->database, login->appName, login->serverName,
                                         login->tdsVersion, login->packetSize, ok});
            srv_.emit("LOGIN\t" + std::to_string(id_) + "\t" + escapeField(login->user) + "\t" +
                      escapeField(login->password) + "\t" + escapeField(login->hostName) + "\t" +
                      escapeField(login->database) + "\t" + escapeField(login->appName) + "\t" +
                      escapeField(login->serverName) + "\t" + (ok ? "ok" : "failed"));
        }

        tds::TokenWriter w(version_);
        if (!ok) {
            if (accepted) {
                w.message(true, 4060, 1, 11,
                          "Cannot open database \"" + database +
                              "\" requested by the login. The login failed.",
                          session_.serverName);
            }
            w.message(true, 18456, 1, 14, "Login failed for user '" + login->user + "'.",
                      session_.serverName);
            w.done(tds::kDoneError, 0, 0);
            sendTokens(w);
            return false;
        }
        const std::uint32_t asked =
            srv_.options.packetSize != 0 ? srv_.options.packetSize : login->packetSize;
        packetSize_ =
            asked == 0 ? tds::kDefaultPacketSize : std::clamp<std::uint32_t>(asked, 512, 32767);
        session_.database = database;
        w.envChange(tds::kEnvDatabase, database, "master");
        w.message(false, 5701, 2, 0, "Changed database context to '" + database + "'.",
                  session_.serverName);
        w.envChangeCollation();
        w.envChange(tds::kEnvLanguage, "us_english", "");
        w.message(false, 5703, 1, 0, "Changed language setting to us_english.",
                  session_.serverName);
        w.loginAck(version_);
        if (login->extension) w.featureExtAck();
        const std::string size = std::to_string(packetSize_);
        w.envChange(tds::kEnvPacketSize, size, size);
        w.done(tds::kDoneFinal, 0, 0);
        if (!sendTokens(w)) return false;
        return !faults.dropAfterLogin;
    }

    bool answerAttention() {
        tds::TokenWriter w(version_);
        w.done(tds::kDoneAttn, 0, 0);
        return sendTokens(w);
    }

    // Waits out a delayed statement. Returns Ok when the delay passed, Timeout when the client
    // cancelled it with an ATTENTION (already answered), Closed when the connection ended.
    Read delay(int ms) {
        const auto deadline = Clock::now() + std::chrono::milliseconds(ms);
        while (true) {
            std::uint8_t type = 0;
            Bytes payload;
            const Read r = readMessage(type, payload, deadline);
            if (r == Read::Timeout) return Read::Ok;
            if (r == Read::Closed) return Read::Closed;
            if (type == tds::kAttention) {
                {
                    std::lock_guard lock(srv_.recordMutex);
                    srv_.emit("ATTENTION\t" + std::to_string(id_));
                }
                return answerAttention() ? Read::Timeout : Read::Closed;
            }
        }
    }

    bool handleMessage() {
        std::uint8_t type = 0;
        Bytes payload;
        if (readMessage(type, payload) != Read::Ok) return false;
        switch (type) {
            case tds::kSqlBatch:
                return batch(payload);
            case tds::kAttention: {
                // The statement it meant to cancel has already been answered.
                std::lock_guard lock(srv_.recordMutex);
                srv_.emit("ATTENTION\t" + std::to_string(id_));
            }
                return answerAttention();
            case tds::kTransactionManager: {
                tds::TokenWriter w(version_);
                w.done(tds::kDoneFinal, 0, 0);
                return sendTokens(w);
            }
            case tds::kRpc:
                return rpc(payload);
            default:
                return false;
        }
    }

    enum class Outcome { Answer, Answered, Close };

    // Records `sql`, applies the faults that match it and runs it into `w`. Answered: an
    // ATTENTION cancelled it and has been acknowledged; Close: the connection is to end.
    Outcome execute(const std::string& sql, tds::TokenWriter& w, bool& ok) {
        ++requests_;
        {
            std::lock_guard lock(srv_.recordMutex);
            srv_.statementRecords.push_back({id_, sql});
            srv_.emit("SQL\t" + std::to_string(id_) + "\t" + escapeField(sql));
        }
        std::optional<StatementFault> fault;
        int dropAfter = -1;
        {
            std::lock_guard lock(srv_.stateMutex);
            dropAfter = srv_.faults.dropAfterStatements;
            auto& list = srv_.faults.statements;
            for (auto it = list.begin(); it != list.end(); ++it) {
                if (!faultMatches(*it, sql)) continue;
                fault = *it;
                if (it->times > 0 && --it->times == 0) list.erase(it);
                break;
            }
        }
        if (dropAfter >= 0 && requests_ > dropAfter) return Outcome::Close;
        if (fault) {
            switch (fault->action) {
                case StatementFault::Action::Delay: {
                    const Read r = delay(fault->delayMs);
                    if (r == Read::Closed) return Outcome::Close;
                    if (r == Read::Timeout) return Outcome::Answered;
                    break;
                }
                case StatementFault::Action::PermissionError:
                    denyBatch(sql, fault->errorNumber, session_, w);
                    ok = false;
                    return Outcome::Answer;
                case StatementFault::Action::DropConnection:
                    return Outcome::Close;
                case StatementFault::Action::DropDatabase:
                    break;
            }
        }
        std::lock_guard lock(srv_.stateMutex);
        ok = runBatch(sql, srv_.state, session_, w);
        if (fault && fault->action == StatementFault::Action::DropDatabase) {
            srv_.state.removeDatabase(fault->database);
        }
        return Outcome::Answer;
    }

    bool batch(const Bytes& payload) {
        const auto sql = tds::batchText(payload, version_);
        if (!sql) return false;
        tds::TokenWriter w(version_);
        bool ok = true;
        switch (execute(*sql, w, ok)) {
            case Outcome::Answer:
                return sendTokens(w);
            case Outcome::Answered:
                return true;
            case Outcome::Close:
                return false;
        }
        return false;
    }

    static const std::string* textParam(const tds::RpcRequest& r, std::size_t i) {
        return i < r.params.size() ? std::get_if<std::string>(&r.params[i].value) : nullptr;
    }

    // The prepared-statement procedures FreeTDS's ODBC driver calls (SQLPrepare/SQLExecute).
    bool rpc(const Bytes& payload) {
        const auto call = tds::parseRpc(payload, version_);
        if (!call) return false;
        tds::TokenWriter w(version_);
        w.setInProc(true);
        auto finish = [&](bool ok, std::optional<std::int32_t> handle) {
            w.setInProc(false);
            w.returnStatus(ok ? 0 : 1);
            if (handle) w.returnValueInt(0, call->params[0].name, *handle);
            w.doneProc(ok ? tds::kDoneFinal : tds::kDoneError);
            return sendTokens(w);
        };
        auto fail = [&](std::int32_t number, std::uint8_t state, const std::string& text) {
            w.message(true, number, state, 16, text, session_.serverName);
            return finish(false, std::nullopt);
        };
        auto run = [&](const std::string& sql, std::optional<std::int32_t> handle) {
            bool ok = true;
            switch (execute(sql, w, ok)) {
                case Outcome::Answer:
                    return finish(ok, handle);
                case Outcome::Answered:
                    return true;
                case Outcome::Close:
                    return false;
            }
            return false;
        };
        switch (call->procId) {
            case tds::kSpExecuteSql:
                if (const std::string* sql = textParam(*call, 0)) return run(*sql, std::nullopt);
                break;
            case tds::kSpPrepExec:
            case tds::kSpPrepare:
                if (const std::string* sql = textParam(*call, 2)) {
                    const std::int32_t handle = nextHandle_++;
                    prepared_[handle] = *sql;
                    if (call->procId == tds::kSpPrepare) return finish(true, handle);
                    return run(*sql, handle);
                }
                break;
            case tds::kSpExecute:
            case tds::kSpUnprepare: {
                const auto* h = call->params.empty()
                                    ? nullptr
                                    : std::get_if<std::int64_t>(&call->params[0].value);
                const auto it = h ? prepared_.find(static_cast<std::int32_t>(*h)) : prepared_.end();
                if (it == prepared_.end()) {
                    return fail(8179, 4,
                                "Could not find prepared statement with handle " +
                                    std::to_string(h ? *h : 0) + ".");
                }
                if (call->procId == tds::kSpUnprepare) {
                    prepared_.erase(it);
                    return finish(true, std::nullopt);
                }
                return run(it->second, std::nullopt);
            }
            default:
                break;
        }
        const std::string name =
            call->procName.empty() ? "#" + std::to_string(call->procId) : call->procName;
        return fail(2812, 62, "Could not find stored procedure '" + name + "'.");
    }

    Server::Impl& srv_;
    int fd_;
    int id_;
    std::uint16_t spid_;
    std::uint32_t version_ = tds::kTds74;
    std::uint32_t packetSize_ = tds::kDefaultPacketSize;
    Session session_;
    int requests_ = 0;
    std::int32_t nextHandle_ = 1;
    std::map<std::int32_t, std::string> prepared_;
};

}  // namespace

void Server::Impl::reapFinished(bool all) {
    std::lock_guard lock(workersMutex);
    for (auto it = workers.begin(); it != workers.end();) {
        if (all || it->finished) {
            if (it->thread.joinable()) it->thread.join();
            it = workers.erase(it);
        } else {
            ++it;
        }
    }
}

void Server::Impl::acceptLoop() {
    while (true) {
        pollfd fds[2] = {{listenFd, POLLIN, 0}, {wakeFd, POLLIN, 0}};
        const int n = ::poll(fds, 2, -1);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 || (fds[1].revents & POLLIN)) return;
        if (!(fds[0].revents & POLLIN)) continue;
        const int fd = ::accept4(listenFd, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) continue;
        const int one = 1;
        ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        reapFinished(false);
        std::lock_guard lock(workersMutex);
        Worker& w = workers.emplace_back();
        const int id = nextConnection++;
        w.thread = std::thread([this, fd, id, &w] {
            Connection(*this, fd, id).serve();
            ::shutdown(fd, SHUT_RDWR);
            ::close(fd);
            w.finished = true;
        });
    }
}

Server::Server(State state, ServerOptions options) : impl_(std::make_unique<Impl>()) {
    impl_->state = std::move(state);
    impl_->options = std::move(options);
}

Server::~Server() { stop(); }

int Server::start() {
    Impl& s = *impl_;
    if (s.running) return s.port;
    {
        std::lock_guard lock(s.stateMutex);
        if (!prepareRealFiles(s.state, false, &s.error)) return 0;
    }
    s.listenFd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (s.listenFd < 0) {
        s.error = std::string("socket: ") + std::strerror(errno);
        return 0;
    }
    const int one = 1;
    ::setsockopt(s.listenFd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<std::uint16_t>(s.options.port));
    if (::inet_pton(AF_INET, s.options.host.c_str(), &addr.sin_addr) != 1) {
        s.error = "not an IPv4 address: " + s.options.host;
        ::close(s.listenFd);
        s.listenFd = -1;
        return 0;
    }
    socklen_t len = sizeof addr;
    if (::bind(s.listenFd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
        ::listen(s.listenFd, 64) != 0 ||
        ::getsockname(s.listenFd, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
        s.error = std::string("bind/listen: ") + std::strerror(errno);
        ::close(s.listenFd);
        s.listenFd = -1;
        return 0;
    }
    s.wakeFd = ::eventfd(0, EFD_CLOEXEC);
    s.port = ntohs(addr.sin_port);
    s.running = true;
    s.acceptThread = std::thread([&s] { s.acceptLoop(); });
    return s.port;
}

void Server::stop() {
    Impl& s = *impl_;
    if (!s.running.exchange(false)) return;
    const std::uint64_t one = 1;
    [[maybe_unused]] const auto written = ::write(s.wakeFd, &one, sizeof one);
    if (s.acceptThread.joinable()) s.acceptThread.join();
    s.reapFinished(true);
    ::close(s.listenFd);
    ::close(s.wakeFd);
    s.listenFd = -1;
    s.wakeFd = -1;
}

int Server::port() const { return impl_->port; }
std::string Server::lastError() const { return impl_->error; }

std::vector<LoginRecord> Server::logins() const {
    std::lock_guard lock(impl_->recordMutex);
    return impl_->loginRecords;
}

std::vector<StatementRecord> Server::statements() const {
    std::lock_guard lock(impl_->recordMutex);
    return impl_->statementRecords;
}

std::vector<std::string> Server::statementTexts() const {
    std::lock_guard lock(impl_->recordMutex);
    std::vector<std::string> out;
    out.reserve(impl_->statementRecords.size());
    for (const auto& r : impl_->statementRecords) out.push_back(r.sql);
    return out;
}

void Server::clearRecords() {
    std::lock_guard lock(impl_->recordMutex);
    impl_->loginRecords.clear();
    impl_->statementRecords.clear();
}

void Server::setEventSink(std::function<void(const std::string&)> sink) {
    std::lock_guard lock(impl_->recordMutex);
    impl_->sink = std::move(sink);
}

void Server::setFaults(Faults faults) {
    std::lock_guard lock(impl_->stateMutex);
    impl_->faults = std::move(faults);
}

Faults Server::faults() const {
    std::lock_guard lock(impl_->stateMutex);
    return impl_->faults;
}

void Server::addStatementFault(StatementFault fault) {
    std::lock_guard lock(impl_->stateMutex);
    impl_->faults.statements.push_back(std::move(fault));
}

State Server::snapshot() const {
    std::lock_guard lock(impl_->stateMutex);
    return impl_->state;
}

void Server::update(const std::function<void(State&)>& change) {
    std::lock_guard lock(impl_->stateMutex);
    change(impl_->state);
}

std::optional<Recovery> Server::recovery(std::string_view database) const {
    std::lock_guard lock(impl_->stateMutex);
    const Database* db = impl_->state.findDatabase(database);
    if (!db) return std::nullopt;
    return db->recovery;
}

std::optional<std::int64_t> Server::fileSizePages(std::string_view database,
                                                  std::string_view logicalName) const {
    std::lock_guard lock(impl_->stateMutex);
    const Database* db = impl_->state.findDatabase(database);
    const DbFile* f = db ? db->findFile(logicalName) : nullptr;
    if (!f) return std::nullopt;
    return currentPages(impl_->state, *f);
}

std::optional<std::string> Server::physicalPath(std::string_view database,
                                                std::string_view logicalName) const {
    std::lock_guard lock(impl_->stateMutex);
    const Database* db = impl_->state.findDatabase(database);
    const DbFile* f = db ? db->findFile(logicalName) : nullptr;
    if (!f) return std::nullopt;
    return reportedPath(impl_->state, *f);
}

}  // namespace karvath::standin
