// textToInt against a plain reference model: full-width forms narrowed pair by
// pair, leading white space, one sign, digits accumulated modulo 2^32.
#include <cstdint>
#include <string>

#include "FuzzInput.h"
#include "core/Format.h"

namespace {

std::int32_t referenceTextToInt(const std::string& text) {
    // Narrow the full-width forms first, keeping other two-byte characters whole.
    std::string s;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const unsigned lead = static_cast<unsigned char>(text[i]);
        if (lead >= 0x81 && i + 1 < text.size()) {
            const unsigned trail = static_cast<unsigned char>(text[i + 1]);
            if (lead == 0xA3 && trail >= 0xA1 && trail <= 0xFE) {
                s += static_cast<char>(trail - 0x80);
            } else if (lead == 0xA1 && trail == 0xA1) {
                s += ' ';
            } else {
                s += text.substr(i, 2);
            }
            ++i;
        } else {
            s += text[i];
        }
    }
    std::size_t i = s.find_first_not_of(" \t\n\v\f\r");
    if (i == std::string::npos) return 0;
    std::int64_t sign = 1;
    if (s[i] == '+' || s[i] == '-') sign = s[i++] == '-' ? -1 : 1;
    std::int64_t value = 0;  // kept in [0, 2^32)
    while (i < s.size() && s[i] >= '0' && s[i] <= '9')
        value = (value * 10 + (s[i++] - '0')) % 4294967296;
    value = (sign * value) % 4294967296;
    if (value < 0) value += 4294967296;
    return static_cast<std::int32_t>(value >= 2147483648 ? value - 4294967296 : value);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const int got = textToInt(text);
    const std::int32_t want = referenceTextToInt(text);
    FUZZ_CHECK(got == want, "text of " + std::to_string(size) + " bytes: got " +
                                std::to_string(got) + ", reference " + std::to_string(want));
    return 0;
}
