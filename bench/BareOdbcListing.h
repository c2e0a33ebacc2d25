#pragma once

#include <string>

// The same listing as Karvath's remote log status list, written as a bare ODBC
// program: connect, the count, the names, then for each name the file query,
// reading the second row's CurrentLocation and size. Wide functions, as
// Karvath uses them. Returns the number of databases listed, -1 on failure.
int bareOdbcListing(const std::string& server, const std::string& login,
                    const std::string& password);
