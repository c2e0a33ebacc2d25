#include "standin/Decode.h"

#include "Sql.h"
#include "Tds.h"

namespace karvath::standin {

std::optional<DecodedRequest> decodeRequest(std::uint8_t packetType,
                                            const std::vector<std::uint8_t>& payload,
                                            std::uint32_t tdsVersion) {
    using Kind = DecodedRequest::Kind;
    switch (packetType) {
        case tds::kPrelogin:
            if (!tds::parsePrelogin(payload)) return std::nullopt;
            return DecodedRequest{Kind::Prelogin, {}};
        case tds::kLogin7: {
            const auto login = tds::parseLogin7(payload);
            if (!login) return std::nullopt;
            return DecodedRequest{Kind::Login, login->user};
        }
        case tds::kSqlBatch: {
            auto sql = tds::batchText(payload, tdsVersion);
            if (!sql) return std::nullopt;
            return DecodedRequest{Kind::SqlBatch, std::move(*sql)};
        }
        case tds::kRpc: {
            const auto call = tds::parseRpc(payload, tdsVersion);
            if (!call) return std::nullopt;
            // Where the statement sits: sp_executesql first, sp_prepare/sp_prepexec third.
            std::size_t at = call->params.size();
            if (call->procId == tds::kSpExecuteSql) at = 0;
            if (call->procId == tds::kSpPrepare || call->procId == tds::kSpPrepExec) at = 2;
            DecodedRequest r{Kind::Rpc, {}};
            if (at < call->params.size()) {
                if (const auto* s = std::get_if<std::string>(&call->params[at].value)) r.sql = *s;
            }
            return r;
        }
        case tds::kAttention:
            return DecodedRequest{Kind::Attention, {}};
        default:
            return std::nullopt;
    }
}

std::vector<std::uint8_t> answerBatch(const std::string& sql, State& state,
                                      std::uint32_t tdsVersion) {
    tds::TokenWriter w(tdsVersion);
    Session session;
    runBatch(sql, state, session, w);
    return w.take();
}

}  // namespace karvath::standin
