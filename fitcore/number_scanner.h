// number_scanner.h - reads whitespace-separated numbers from a stream in large blocks.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string_view>

// Converts numbers the way the C library's "%d" and "%lg" input conversions
// do (any amount of white space before a number; the characters such a
// conversion takes, consumed even when they do not form a number), but reads
// the stream in large blocks and converts plain decimal numbers with
// std::from_chars. Everything else is taken character by character as the
// C library does and converted with strtod, so hexadecimal, "inf", "nan" and
// partial numbers give the same values and leave the same text unread. A
// read error counts as the end of the input. A token longer than the buffer
// grows it geometrically, so reading one costs time in proportion to its
// length; a buffer that can't grow throws std::bad_alloc.
class NumberScanner {
public:
    enum class Status { Ok, NoNumber, OutOfRange };

    explicit NumberScanner(std::FILE* in);
    // Reads `prefix` first, then the rest of `in`: for a stream whose first
    // bytes were taken from it to tell what it holds.
    NumberScanner(std::string_view prefix, std::FILE* in);

    // Skips a UTF-8 byte order mark at the read position (the start of a file).
    void SkipByteOrderMark();

    // True when nothing but white space is left.
    bool AtEnd();

    // "%d": optional sign and decimal digits. OutOfRange when the value does
    // not fit 32 bits (the digits are consumed); NoNumber at the end of the
    // input or when no digit follows (white space and a sign are consumed).
    Status ReadInt(int32_t* value);

    // "%lg". NoNumber at the end of the input or when the text here is no
    // number; *value is then unchanged.
    Status ReadDouble(double* value);

    // Reads up to `count` numbers exactly as that many ReadDouble calls
    // would, stopping at the first that is no number; returns how many were
    // read. The plain decimal numbers of a large read-ahead block are
    // converted as two halves at once (RunHalves).
    size_t ReadDoubles(double* values, size_t count);

    // Bytes copied so far to move the buffered text into a larger buffer.
    size_t bytes_copied_by_growth() const { return bytes_copied_by_growth_; }

private:
    bool SkipSpace();
    int CharAt(size_t offset);
    bool ReadPlainDecimal(double* value);
    Status ReadGeneral(double* value);
    bool Refill();
    size_t WholeTokensEnd();
    bool ReadRange(size_t end, double* values, size_t count, size_t* done);
    bool ReadRangeInHalves(size_t end, double* values, size_t count, size_t* done);
    size_t WantedTextEnd(size_t end, size_t wanted, size_t measured_from, size_t measured) const;

    char* Data() { return buf_.get(); }

    std::FILE* in_;
    // Data in [pos_, end_), always followed by a NUL. Left uninitialised, so
    // a small file touches only the pages it fills.
    std::unique_ptr<char[]> buf_;
    size_t capacity_;
    size_t pos_ = 0;
    size_t end_ = 0;
    bool eof_ = false;
    static constexpr size_t kUnknown = ~size_t{0};
    size_t tokens_end_ = kUnknown;  // WholeTokensEnd of the current block
    size_t bytes_copied_by_growth_ = 0;
    // The numbers of the second half of a block, converted beside the first,
    // and where each ends (bytes from the half's start), so that as many of
    // them are taken as a request still wants.
    std::unique_ptr<double[]> second_half_;
    std::unique_ptr<uint32_t[]> second_half_ends_;
    size_t second_half_capacity_ = 0;
};
