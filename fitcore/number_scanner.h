// number_scanner.h - reads whitespace-separated numbers from a stream in large blocks.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <vector>

// Converts numbers the way the C library's "%d" and "%lg" input conversions
// do (any amount of white space before a number, the longest prefix that is a
// number), but reads the stream in large blocks and converts plain decimal
// numbers with std::from_chars. Everything else goes through strtod at the
// same position, so hexadecimal, "inf", "nan" and partial numbers give the
// same values as the C library's own conversion. A read error counts as the
// end of the input.
class NumberScanner {
public:
    enum class Status { Ok, NoNumber, OutOfRange };

    explicit NumberScanner(std::FILE* in);

    // "%d": optional sign and decimal digits. OutOfRange when the value does
    // not fit 32 bits (the digits are consumed); NoNumber at the end of the
    // input or when no digit follows (nothing but white space is consumed).
    Status ReadInt(int32_t* value);

    // "%lg". NoNumber at the end of the input or when no number starts here;
    // *value is then unchanged.
    Status ReadDouble(double* value);

private:
    bool SkipSpace();
    size_t NumberRunEnd(size_t from);
    bool Refill();

    std::FILE* in_;
    std::vector<char> buf_;  // data in [pos_, end_), always followed by a NUL
    size_t pos_ = 0;
    size_t end_ = 0;
    bool eof_ = false;
    bool filled_ = false;  // the first block has been read
};
