// number_scanner.cpp - block-buffered "%d"/"%lg" conversion of a text stream.
#include "number_scanner.h"

#include <charconv>
#include <cstdlib>
#include <cstring>
#include <limits>

namespace {

// Small files fit the first block; large ones are read a mebibyte at a time.
constexpr size_t kFirstBlockSize = 1 << 16;
constexpr size_t kBlockSize = 1 << 20;

bool IsSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Characters that strtod may take as part of one number: digits, sign,
// point, exponent and hexadecimal letters, "inf"/"nan" and "nan(...)".
bool MayBelongToNumber(char c)
{
    return IsDigit(c) || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '.' ||
           c == '+' || c == '-' || c == '_' || c == '(' || c == ')';
}

// Text that only std::from_chars and strtod read alike: decimal digits,
// point, exponent and minus signs. A leading '+' is left to strtod.
bool IsPlainDecimal(const char* first, const char* last)
{
    if (first == last || *first == '+') return false;
    for (const char* c = first; c != last; ++c)
        if (!IsDigit(*c) && *c != '.' && *c != 'e' && *c != 'E' && *c != '-' && *c != '+')
            return false;
    return true;
}

}  // namespace

NumberScanner::NumberScanner(std::FILE* in) : in_(in), buf_(kFirstBlockSize + 1, '\0') {}

// Moves the unread data to the front, grows the buffer when it is full, and
// appends the next block. False when nothing more could be read.
bool NumberScanner::Refill()
{
    if (eof_) return false;
    if (pos_ > 0) {
        std::memmove(buf_.data(), buf_.data() + pos_, end_ - pos_);
        end_ -= pos_;
        pos_ = 0;
    }
    size_t block = filled_ ? kBlockSize : kFirstBlockSize;
    if (end_ + block + 1 > buf_.size()) buf_.resize(end_ + block + 1);
    filled_ = true;
    size_t got = std::fread(buf_.data() + end_, 1, buf_.size() - 1 - end_, in_);
    end_ += got;
    buf_[end_] = '\0';
    if (got == 0) eof_ = true;
    return got > 0;
}

bool NumberScanner::SkipSpace()
{
    for (;;) {
        while (pos_ < end_ && IsSpace(buf_[pos_])) ++pos_;
        if (pos_ < end_) return true;
        if (!Refill()) return false;
    }
}

// End of the run of number characters that starts at `from`, reading more
// of the stream while the run reaches the end of the buffer. May move the
// data, so positions are indexes, never pointers.
size_t NumberScanner::NumberRunEnd(size_t from)
{
    size_t scanned = from - pos_;
    for (;;) {
        size_t end = pos_ + scanned;
        while (end < end_ && MayBelongToNumber(buf_[end])) ++end;
        if (end < end_) return end;
        scanned = end - pos_;
        if (!Refill()) return end_;
    }
}

NumberScanner::Status NumberScanner::ReadInt(int32_t* value)
{
    if (!SkipSpace()) return Status::NoNumber;
    size_t run_end = NumberRunEnd(pos_);
    size_t at = pos_;
    bool negative = false;
    if (at < run_end && (buf_[at] == '+' || buf_[at] == '-')) negative = buf_[at++] == '-';
    if (at == run_end || !IsDigit(buf_[at])) return Status::NoNumber;

    // Accumulate the magnitude, saturating just past the 32-bit range.
    constexpr int64_t kLimit = int64_t{std::numeric_limits<int32_t>::max()} + 1;
    int64_t magnitude = 0;
    for (; at < run_end && IsDigit(buf_[at]); ++at)
        if (magnitude <= kLimit) magnitude = magnitude * 10 + (buf_[at] - '0');
    pos_ = at;
    int64_t signed_value = negative ? -magnitude : magnitude;
    if (signed_value > std::numeric_limits<int32_t>::max() ||
        signed_value < std::numeric_limits<int32_t>::min())
        return Status::OutOfRange;
    *value = static_cast<int32_t>(signed_value);
    return Status::Ok;
}

NumberScanner::Status NumberScanner::ReadDouble(double* value)
{
    if (!SkipSpace()) return Status::NoNumber;
    size_t run_end = NumberRunEnd(pos_);
    const char* first = buf_.data() + pos_;
    const char* last = buf_.data() + run_end;
    if (IsPlainDecimal(first, last)) {
        double parsed;
        auto [ptr, ec] = std::from_chars(first, last, parsed);
        if (ec == std::errc() && ptr == last) {
            *value = parsed;
            pos_ = run_end;
            return Status::Ok;
        }
    }
    // The run is followed by a character strtod cannot take, or by the
    // buffer's NUL, so strtod stops inside the run.
    char* stop = nullptr;
    double parsed = std::strtod(first, &stop);
    if (stop == first) return Status::NoNumber;
    *value = parsed;
    pos_ += static_cast<size_t>(stop - first);
    return Status::Ok;
}
