#include "standin/Decode.h"

#include <variant>

#include "Sql.h"
#include "Tds.h"

namespace karvath::standin {

std::optional<DecodedRequest> decodeRequest(std::uint8_t type,
                                            const std::vector<std::uint8_t>& payload,
                                            std::uint32_t tdsVersion) {
    DecodedRequest r;
    switch (type) {
        case tds::kPrelogin: {
            const auto prelogin = tds::parsePrelogin(payload);
            if (!prelogin) return std::nullopt;
            r.kind = DecodedRequest::Kind::Prelogin;
            r.encryption = prelogin->encryption;
            return r;
        }
        case tds::kLogin7: {
            const auto login = tds::parseLogin7(payload);
            if (!login) return std::nullopt;
            r.kind = DecodedRequest::Kind::Login7;
            r.tdsVersion = login->tdsVersion;
            r.user = login->user;
            r.password = login->password;
            r.database = login->database;
            return r;
        }
        case tds::kSqlBatch: {
            const auto sql = tds::batchText(payload, tdsVersion);
            if (!sql) return std::nullopt;
            r.kind = DecodedRequest::Kind::SqlBatch;
            r.sql = *sql;
            return r;
        }
        case tds::kRpc: {
            const auto call = tds::parseRpc(payload, tdsVersion);
            if (!call) return std::nullopt;
            r.kind = DecodedRequest::Kind::Rpc;
            r.procId = call->procId;
            r.parameters = call->params.size();
            for (const tds::RpcParam& p : call->params) {
                if (const auto* text = std::get_if<std::string>(&p.value)) {
                    r.sql = *text;
                    break;
                }
            }
            return r;
        }
        default:
            return std::nullopt;
    }
}

std::vector<std::uint8_t> answerBatch(const std::string& sql, State& state,
                                      std::uint32_t tdsVersion) {
    Session session;
    tds::TokenWriter out(tdsVersion);
    runBatch(sql, state, session, out);
    return out.take();
}

}  // namespace karvath::standin
