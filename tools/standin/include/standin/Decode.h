// The stand-in's decoding of client messages, callable on its own: what a
// connection makes of one message's payload (packet headers already removed),
// and the answer it gives to one SQL batch. For tools that check the decoder
// in isolation, such as the fuzz targets; the server uses the same functions.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "standin/Model.h"

namespace karvath::standin {

struct DecodedRequest {
    enum class Kind { Prelogin, Login7, SqlBatch, Rpc };
    Kind kind = Kind::SqlBatch;
    std::optional<std::uint8_t> encryption;  // PRELOGIN
    std::uint32_t tdsVersion = 0;            // LOGIN7: as the client asked
    std::string user, password, database;    // LOGIN7, password de-obfuscated
    std::string sql;                         // SQL batch text; RPC: first text parameter
    std::uint16_t procId = 0;                // RPC
    std::size_t parameters = 0;              // RPC
};

// Decodes one message of packet type `type` (0x12 PRELOGIN, 0x10 LOGIN7, 0x01
// SQL batch, 0x03 RPC) as a connection speaking `tdsVersion` does. nullopt:
// the server would close the connection (malformed, or a type it ignores).
std::optional<DecodedRequest> decodeRequest(std::uint8_t type,
                                            const std::vector<std::uint8_t>& payload,
                                            std::uint32_t tdsVersion);

// Runs one SQL batch against `state` on a session in master and returns the
// token stream the server would send for it.
std::vector<std::uint8_t> answerBatch(const std::string& sql, State& state,
                                      std::uint32_t tdsVersion);

}  // namespace karvath::standin
