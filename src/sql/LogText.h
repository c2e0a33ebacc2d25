#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// The texts of the log status list.

// "Log_Name": the file name of the path, lowered, without ".ldf".
std::string logNameText(std::string_view path);

// "Log_Size" of a log measured on this machine's disk, from its size in bytes
// (-1 when no file is there): " KB" below 1024 KB, then " MB" and " GB" by
// thousands.
std::string localSizeText(std::int64_t bytes);

// "Log_Size" of a log measured from the catalogue, from its size in 8-KB pages
// (divided by 124 and taken as MB), rounded to two decimals.
std::string remoteSizeText(double pages);

// x counts as at least t within the tolerance the program uses for its sizes.
inline bool atLeast(double x, double t) { return x - t >= -0.0000001; }
