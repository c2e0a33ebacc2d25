// The stand-in's decoding of client messages (PRELOGIN, LOGIN7, SQL batch, RPC)
// at every TDS version it speaks, and the SQL it decodes run against a small
// catalogue held in memory: nothing may crash, and every batch is answered
// with a token stream that ends in a DONE token.
#include <cstdint>
#include <string>
#include <vector>

#include "FuzzInput.h"
#include "standin/Decode.h"

namespace {

using karvath::standin::DecodedRequest;
using karvath::standin::State;

constexpr std::uint8_t kTypes[] = {0x12, 0x10, 0x01, 0x03};
constexpr std::uint32_t kVersions[] = {0x71000001, 0x72090002, 0x730A0003, 0x730B0003, 0x74000004};

State catalogue() {
    State s = State::withSystemDatabases();
    s.addDatabase("Shop").logFile()->sizePages = 130024;  // sizes in memory only
    s.addDatabase("O'Brien");
    return s;
}

void checkAnswer(const std::vector<std::uint8_t>& answer, std::uint32_t version,
                 const std::string& sql) {
    const std::size_t doneSize = version >= 0x72090002 ? 13 : 9;
    FUZZ_CHECK(answer.size() >= doneSize && answer[answer.size() - doneSize] == 0xFD,
               "batch of " + std::to_string(sql.size()) + " bytes answered with " +
                   std::to_string(answer.size()) + " bytes not ending in DONE");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzInput in(data, size);
    const std::uint8_t type = kTypes[in.byte() % std::size(kTypes)];
    const std::uint32_t version = kVersions[in.byte() % std::size(kVersions)];
    const std::string rest = in.rest();
    const std::vector<std::uint8_t> payload(rest.begin(), rest.end());

    const auto request = karvath::standin::decodeRequest(type, payload, version);
    if (!request) return 0;
    if (request->kind == DecodedRequest::Kind::SqlBatch ||
        (request->kind == DecodedRequest::Kind::Rpc && !request->sql.empty())) {
        State state = catalogue();
        checkAnswer(karvath::standin::answerBatch(request->sql, state, version), version,
                    request->sql);
    }
    return 0;
}
