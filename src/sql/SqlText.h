#pragma once

#include <string>
#include <string_view>

// Database names go into SQL as data, never as code.

// The text for inside N'...': every "'" doubled.
std::string sqlLiteralBody(std::string_view text);

// True for a name SQL Server takes as it stands: an ASCII letter or "_" first,
// then ASCII letters, digits, "_", "@", "#" and "$", and not a reserved word.
bool isPlainIdentifier(std::string_view name);

// A plain name unchanged; any other name bracketed, with "]" doubled.
std::string sqlIdentifier(std::string_view name);

// The file query of one database: its data file row, then its log row.
std::string logFileQuery(std::string_view database);
