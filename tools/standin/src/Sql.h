// The handful of T-SQL statement shapes the stand-in answers: a tokenizer, a pattern matcher
// for those shapes and their execution against the model.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "Tds.h"
#include "standin/Model.h"

namespace karvath::standin {

struct SqlToken {
    enum class Kind { Word, Quoted, NString, String, Number, Symbol, End };
    Kind kind = Kind::End;
    std::string text;  // unescaped for Quoted / NString / String
};

struct TokenizeResult {
    std::vector<SqlToken> tokens;         // ends with an End token
    std::optional<std::string> unclosed;  // the text after an unclosed quotation mark
};
TokenizeResult tokenize(std::string_view sql);

struct Session {
    std::string database = "master";
    std::string serverName = "KARVATH";
};

// Runs one batch; writes its answer (results, messages, DONE tokens) to `out`. False when it
// ended in an error.
bool runBatch(std::string_view sql, State& state, Session& session, tds::TokenWriter& out);

// Answers a batch with a permission error instead of running it.
void denyBatch(std::string_view sql, int errorNumber, const Session& session,
               tds::TokenWriter& out);

}  // namespace karvath::standin
