// text_chars.h - the character classes of the C locale that the readers use.
#pragma once

namespace fitcore {

// White space as the C library's formatted input skips it.
constexpr bool IsSpace(int c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

constexpr bool IsDigit(int c) { return c >= '0' && c <= '9'; }

}  // namespace fitcore
