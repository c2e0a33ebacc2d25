#pragma once

#include <string>
#include <string_view>
#include <vector>

// The texts of a cleanup: its four statements and the amounts of its report.

// The statements in the order they run: simple recovery, make the database
// current, shrink its log "<name>_log", full recovery. A plain name is pasted
// as it stands; any other is bracketed, and quoted inside the literal.
std::vector<std::string> cleanupStatements(std::string_view database);

// A size as the activity log writes it, with its unit, one per line, each
// ending "\r\n": below the first threshold a KB line, else an MB line, and at or
// above the second a further GB line. Local sizes are in KB (thresholds 1024 and
// 1048576), remote ones in catalogue MB (thresholds 1.024 and 1024).
std::vector<std::string> localSizeAmounts(float kilobytes);
std::vector<std::string> remoteSizeAmounts(float megabytes);

// The amounts freed with their units, one per report line, each ending "\r\n".
// Local: freed in KB. Remote: the catalogue measures before and after, in MB.
std::vector<std::string> localFreedAmounts(float freed);
std::vector<std::string> remoteFreedAmounts(float before, float after);
