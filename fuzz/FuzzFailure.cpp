#include <cstdio>
#include <cstdlib>
#include <string>

#include "FuzzInput.h"

void fuzzFailure(const char* what, const std::string& detail) {
    std::fprintf(stderr, "fuzz property failed: %s\n%s\n", what, detail.c_str());
    std::abort();
}
