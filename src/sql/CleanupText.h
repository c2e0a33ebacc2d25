#pragma once

#include <string>
#include <string_view>
#include <vector>

// The texts of a cleanup: its four statements and the amounts of its report.

// The statements in the order they run: simple recovery, make the database
// current, shrink its log "<name>_log", full recovery. A plain name is pasted
// as it stands; any other is bracketed, and quoted inside the literal.
std::vector<std::string> cleanupStatements(std::string_view database);

// The amounts freed with their units, one per report line, each ending "\r\n".
// Local: freed in KB. Remote: the catalogue measures before and after, in MB.
std::vector<std::string> localFreedAmounts(float freed);
std::vector<std::string> remoteFreedAmounts(float before, float after);
