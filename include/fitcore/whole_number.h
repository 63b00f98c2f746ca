// whole_number.h - whole numbers read from text as the C library's "%d" reads them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

namespace fitcore {

enum class WholeNumberStatus {
    Ok,          // the value fits 32 bits
    NoNumber,    // no digit was taken
    OutOfRange,  // the digits give a value beyond the 32-bit range
};

// Reads one whole number a character at a time, as "%d" does once the white
// space before it is skipped: an optional sign, then every decimal digit that
// follows. Readers of a stream hand it characters until it refuses one.
class WholeNumberReader {
public:
    // Takes `c` (a character as unsigned char, or EOF) when it continues the
    // number. False, with `c` not taken, at the first character that can't.
    bool Take(int c);

    WholeNumberStatus status() const;

    // The value, clamped to the 32-bit range when it lies beyond it; 0 when
    // no digit was taken.
    int32_t value() const;

private:
    bool started_ = false;
    bool negative_ = false;
    std::size_t digits_ = 0;
    int64_t magnitude_ = 0;  // stops growing just past the 32-bit range
};

// The value of a text that is one whole number and nothing else (no white
// space), within the 32-bit range; nullopt for any other text.
std::optional<int32_t> WholeNumberOf(std::string_view text);

}  // namespace fitcore
