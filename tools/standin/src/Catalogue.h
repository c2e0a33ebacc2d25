// Disk-backed parts of the model: real files, their sizes and their truncation.
#pragma once

#include <cstdint>
#include <string>

#include "standin/Model.h"

namespace karvath::standin {

// The path sys.master_files shows: the real file's absolute path or the fake one.
std::string reportedPath(const State& state, const DbFile& file);
// Size in pages: a real file's size on disk / 8192 (0 when missing), else sizePages.
std::int64_t currentPages(const State& state, const DbFile& file);
// Sets the size; a real file is truncated (or extended sparsely) on disk.
bool resizeFile(const State& state, DbFile& file, std::int64_t pages);
// Makes dataDir absolute, creates it when real files need it, and creates each missing real
// file as a sparse file of its configured size (all of them when `recreate`).
bool prepareRealFiles(State& state, bool recreate, std::string* error);

}  // namespace karvath::standin
