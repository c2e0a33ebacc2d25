// The stand-in's decoding of one client message and its answer to a batch, without sockets:
// for fuzzing and for tests that look at the token stream itself.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "standin/Model.h"

namespace karvath::standin {

struct DecodedRequest {
    enum class Kind { Prelogin, Login, SqlBatch, Rpc, Attention };
    Kind kind = Kind::SqlBatch;
    // SqlBatch: the text; Rpc: the statement it carries (empty for sp_execute, sp_unprepare
    // and unknown procedures); Login: the user name.
    std::string sql;
};

// `payload` is the message without packet headers. nullopt: malformed or not a client message.
std::optional<DecodedRequest> decodeRequest(std::uint8_t packetType,
                                            const std::vector<std::uint8_t>& payload,
                                            std::uint32_t tdsVersion);

// The token stream the server sends for `sql` on a connection in master (ends with DONE).
std::vector<std::uint8_t> answerBatch(const std::string& sql, State& state,
                                      std::uint32_t tdsVersion);

}  // namespace karvath::standin
