// number_scanner.cpp - block-buffered "%d"/"%lg" conversion of a text stream.
#include "number_scanner.h"

#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <cstring>
#include <system_error>
#include <utility>

#include <fitcore/whole_number.h>

#include "short_decimal.h"
#include "text_chars.h"
#include "two_halves.h"

namespace {

constexpr size_t kBlockSize = 1 << 20;

using fitcore::IsDigit;
using fitcore::IsSpace;

bool IsHexDigit(int c) { return IsDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }

int Lower(int c) { return c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c; }

// Where converting a run of plain decimal numbers stopped: at the first
// token that is not one (or at the end of the text), after `count` numbers.
struct Converted {
    const char* stop;
    size_t count;
};

// Converts the plain decimal numbers of [first, last), at most `limit` of
// them, exactly as ReadPlainDecimal takes them. The text must end in white
// space, so every token in it is whole. With `ends`, ends[i] is where number
// i ends, in bytes from `first`.
Converted ConvertPlain(const char* first, const char* last, double* values, size_t limit, uint32_t* ends = nullptr)
{
    const char* at = first;
    size_t count = 0;
    for (; count < limit; ++count) {
        while (at < last && IsSpace(*at)) ++at;
        if (at == last) break;
        const char* mantissa = *at == '-' ? at + 1 : at;
        if (!(IsDigit(*mantissa) || *mantissa == '.')) break;
        double parsed;
        const char* stop = fitcore::ReadShortDecimal(at, last, &parsed);
        if (stop == nullptr) {
            auto [end, error] = std::from_chars(at, last, parsed);
            if (error != std::errc() || end == last || !IsSpace(*end)) break;
            stop = end;
        }
        values[count] = parsed;
        at = stop;
        if (ends != nullptr) ends[count] = static_cast<uint32_t>(at - first);
    }
    return {at, count};
}

}  // namespace

NumberScanner::NumberScanner(std::FILE* in) : NumberScanner(std::string_view{}, in) {}

NumberScanner::NumberScanner(std::string_view prefix, std::FILE* in)
    : in_(in), buf_(new char[std::max(kBlockSize, prefix.size() + kBlockSize / 2) + 1]),
      capacity_(std::max(kBlockSize, prefix.size() + kBlockSize / 2) + 1)
{
    if (!prefix.empty()) std::memcpy(Data(), prefix.data(), prefix.size());
    end_ = prefix.size();
    buf_[end_] = '\0';
}

// Moves the unread data to the front, grows the buffer when it is full, and
// appends the next block. False when nothing more could be read.
bool NumberScanner::Refill()
{
    if (eof_) return false;
    if (pos_ > 0) {
        std::memmove(Data(), Data() + pos_, end_ - pos_);
        end_ -= pos_;
        pos_ = 0;
    }
    if (capacity_ - 1 - end_ < kBlockSize / 2) {
        // A number nearly as long as the buffer: keep it and read on behind
        // it, in a buffer at least twice as large, so that every byte of
        // the longest token is copied a bounded number of times.
        size_t capacity = std::max(2 * capacity_, end_ + kBlockSize + 1);
        std::unique_ptr<char[]> larger(new char[capacity]);
        std::memcpy(larger.get(), Data(), end_);
        bytes_copied_by_growth_ += end_;
        buf_ = std::move(larger);
        capacity_ = capacity;
    }
    size_t got = std::fread(Data() + end_, 1, capacity_ - 1 - end_, in_);
    end_ += got;
    buf_[end_] = '\0';
    tokens_end_ = kUnknown;
    if (got == 0) eof_ = true;
    return got > 0;
}

void NumberScanner::SkipByteOrderMark()
{
    if (CharAt(0) == 0xEF && CharAt(1) == 0xBB && CharAt(2) == 0xBF) pos_ += 3;
}

bool NumberScanner::AtEnd() { return !SkipSpace(); }

bool NumberScanner::SkipSpace()
{
    for (;;) {
        while (pos_ < end_ && IsSpace(buf_[pos_])) ++pos_;
        if (pos_ < end_) return true;
        if (!Refill()) return false;
    }
}

// The character `offset` places after the read position, reading more of the
// stream as needed; EOF past the end of the input. Refilling moves the data,
// so callers keep offsets, never pointers.
int NumberScanner::CharAt(size_t offset)
{
    while (pos_ + offset >= end_)
        if (!Refill()) return EOF;
    return static_cast<unsigned char>(buf_[pos_ + offset]);
}

NumberScanner::Status NumberScanner::ReadInt(int32_t* value)
{
    if (!SkipSpace()) return Status::NoNumber;
    // Every character the number takes is consumed, a lone sign included.
    fitcore::WholeNumberReader number;
    size_t taken = 0;
    while (number.Take(CharAt(taken))) ++taken;
    pos_ += taken;
    switch (number.status()) {
    case fitcore::WholeNumberStatus::NoNumber: return Status::NoNumber;
    case fitcore::WholeNumberStatus::OutOfRange: return Status::OutOfRange;
    case fitcore::WholeNumberStatus::Ok: break;
    }
    *value = number.value();
    return Status::Ok;
}

// A plain decimal number followed by white space or the end of the input:
// "%lg" takes exactly that text, and std::from_chars gives the same
// correctly rounded value as strtod. Anything else is left to ReadGeneral.
bool NumberScanner::ReadPlainDecimal(double* value)
{
    const char* first = Data() + pos_;
    const char* last = Data() + end_;
    const char* mantissa = *first == '-' ? first + 1 : first;
    // from_chars also takes "inf" and "nan(...)", which "%lg" reads differently.
    if (mantissa == last || !(IsDigit(*mantissa) || *mantissa == '.')) return false;
    double parsed;
    if (const char* end = fitcore::ReadShortDecimal(first, last, &parsed)) {
        *value = parsed;
        pos_ += static_cast<size_t>(end - first);
        return true;
    }
    auto [stop, error] = std::from_chars(first, last, parsed);
    if (error != std::errc()) return false;
    if (stop == last ? !eof_ : !IsSpace(*stop)) return false;
    *value = parsed;
    pos_ += static_cast<size_t>(stop - first);
    return true;
}

// Takes characters one by one exactly as the C library's "%lg" does: a sign,
// then "nan", "inf" or "infinity" in any case, or a decimal or hexadecimal
// number with at most one point and one exponent, stopping at the first
// character that cannot continue it. The characters taken are consumed even
// when they turn out not to be a number ("1e" reads 1; "-", "0x" and "infin"
// read nothing); the value is strtod's of exactly the text taken.
NumberScanner::Status NumberScanner::ReadGeneral(double* value)
{
    size_t taken = 0;
    auto next = [&] {
        int c = CharAt(taken);
        if (c != EOF) ++taken;
        return c;
    };
    auto expect = [&](const char* word) {
        for (; *word != '\0'; ++word)
            if (Lower(next()) != *word) return false;
        return true;
    };
    auto fail = [&] {
        pos_ += taken;
        return Status::NoNumber;
    };

    int c = next();
    bool signed_number = c == '+' || c == '-';
    if (signed_number && (c = next()) == EOF) return fail();
    if (Lower(c) == 'n') {
        if (!expect("an")) return fail();
    } else if (Lower(c) == 'i') {
        if (!expect("nf")) return fail();
        c = next();
        if (Lower(c) == 'i') {
            if (!expect("nity")) return fail();
        } else if (c != EOF) {
            --taken;
        }
    } else {
        bool hex = false, got_digit = false, got_dot = false, got_exponent = false;
        int exponent_char = 'e', last = 0;
        if (c == '0') {
            last = c;
            c = next();
            if (Lower(c) == 'x') {
                hex = true;
                exponent_char = 'p';
                last = c;
                c = next();
            } else {
                got_digit = true;
            }
        }
        for (; c != EOF; last = c, c = next()) {
            if (IsDigit(c) || (hex && !got_exponent && IsHexDigit(c))) {
                got_digit = true;
            } else if (got_exponent && Lower(last) == exponent_char && (c == '-' || c == '+')) {
            } else if (got_digit && !got_exponent && Lower(c) == exponent_char) {
                got_exponent = got_dot = true;
            } else if (!got_dot && c == '.') {
                got_dot = true;
            } else {
                --taken;
                break;
            }
        }
        // "0x" alone, with or without a sign, is no number.
        if (taken == 0 || (hex && taken == 2 + (signed_number ? 1u : 0u))) return fail();
    }

    // Convert exactly the text taken: end it with a NUL for strtod.
    char* text = Data() + pos_;
    char after = text[taken];
    text[taken] = '\0';
    char* stop = nullptr;
    double parsed = std::strtod(text, &stop);
    text[taken] = after;
    if (stop == text) return fail();
    *value = parsed;
    pos_ += taken;
    return Status::Ok;
}

NumberScanner::Status NumberScanner::ReadDouble(double* value)
{
    if (!SkipSpace()) return Status::NoNumber;
    if (ReadPlainDecimal(value)) return Status::Ok;
    return ReadGeneral(value);
}

size_t NumberScanner::ReadDoubles(double* values, size_t count)
{
    size_t done = 0;
    while (done < count && SkipSpace()) {
        size_t end = WholeTokensEnd();
        if (pos_ < end) {
            if (!ReadRangeInHalves(end, values, count, &done)) break;
        } else {
            // A token that may go on in the next block.
            if (ReadDouble(&values[done]) != Status::Ok) break;
            ++done;
        }
    }
    return done;
}

// The offset just behind the last white space of the buffered text, where
// the whole tokens end; the position when there is none. Found once per block.
size_t NumberScanner::WholeTokensEnd()
{
    if (tokens_end_ == kUnknown) {
        tokens_end_ = end_;
        while (tokens_end_ > pos_ && !IsSpace(buf_[tokens_end_ - 1])) --tokens_end_;
    }
    return std::max(tokens_end_, pos_);
}

// Reads the numbers of the buffered text from the position up to `end`,
// which follows a white space, into values[*done] on, up to count in all:
// plain decimal numbers with from_chars, any other the exact way. No read
// goes past a white space, so none needs more of the stream. False when a
// token is no number.
bool NumberScanner::ReadRange(size_t end, double* values, size_t count, size_t* done)
{
    while (*done < count) {
        Converted plain = ConvertPlain(Data() + pos_, Data() + end, values + *done, count - *done);
        pos_ = static_cast<size_t>(plain.stop - Data());
        *done += plain.count;
        if (pos_ == end || *done == count) return true;
        if (ReadDouble(&values[*done]) != Status::Ok) return false;
        ++*done;
    }
    return true;
}

// The end of the text from the position that `wanted` more numbers take,
// judged by the `measured` numbers converted from `measured_from` on (with
// a tenth to spare): at most `end`, and just behind a white space.
size_t NumberScanner::WantedTextEnd(size_t end, size_t wanted, size_t measured_from, size_t measured) const
{
    if (measured == 0) return end;
    const double bytes_per_number = static_cast<double>(pos_ - measured_from) / static_cast<double>(measured);
    const double span = 1.1 * bytes_per_number * static_cast<double>(wanted) + 1;
    if (span >= static_cast<double>(end - pos_)) return end;
    size_t wanted_end = pos_ + static_cast<size_t>(span);
    while (wanted_end < end && !IsSpace(buf_[wanted_end - 1])) ++wanted_end;
    return wanted_end;
}

// ReadRange with the text split at a white space near its middle and the
// plain decimal numbers at the start of each half converted at once, the
// first half's into `values`, the second's aside. Then the first half is
// read to its end as ReadRange reads it, and the second half's numbers
// follow, as far as `count` takes all of them. The first numbers are
// converted on their own first: their length bounds the text to split to
// what the numbers wanted take, so that the second half does not convert
// numbers beyond them (a block may hold many more).
bool NumberScanner::ReadRangeInHalves(size_t end, double* values, size_t count, size_t* done)
{
    // A sixteenth of the numbers wanted, at most 256, measure the others.
    const size_t measure = std::min<size_t>(256, (count - *done) / 16);
    const size_t measured_from = pos_;
    const Converted measured = ConvertPlain(Data() + pos_, Data() + end, values + *done, measure);
    pos_ = static_cast<size_t>(measured.stop - Data());
    *done += measured.count;
    if (measured.count < measure || *done == count) return ReadRange(end, values, count, done);
    if (pos_ == end) return true;
    end = WantedTextEnd(end, count - *done, measured_from, measured.count);

    const size_t start = pos_;
    size_t middle = start + (end - start) / 2;
    while (!IsSpace(buf_[middle])) ++middle;  // the text ends in white space
    ++middle;

    const size_t room = count - *done;
    double* first_values = values + *done;
    Converted first_converted{Data() + start, 0};
    Converted second_converted{Data() + middle, 0};
    bool second_ends_kept = true;
    bool split = fitcore::RunHalves(start, middle, end, end - start, [&](size_t first, size_t last) {
        if (first == start) {
            first_converted = ConvertPlain(Data() + first, Data() + last, first_values, room);
            return;
        }
        // A token takes two characters at least, with its separator.
        size_t most = std::min(room, (last - first) / 2 + 1);
        if (second_half_capacity_ < most) {
            second_half_.reset(new double[most]);
            second_half_ends_.reset(new uint32_t[most]);
            second_half_capacity_ = most;
        }
        // Ends are kept where they fit in 32 bits, as they do in any block
        // short of a token of gigabytes.
        uint32_t* ends = last - first <= UINT32_MAX ? second_half_ends_.get() : nullptr;
        second_converted = ConvertPlain(Data() + first, Data() + last, second_half_.get(), most, ends);
        if (ends == nullptr) second_ends_kept = false;
    });
    pos_ = static_cast<size_t>(first_converted.stop - Data());
    *done += first_converted.count;
    if (!ReadRange(split ? middle : end, values, count, done)) return false;
    if (!split || pos_ != middle) return true;
    const size_t taken = std::min(second_converted.count, count - *done);
    if (taken < second_converted.count && !second_ends_kept) return true;
    std::copy_n(second_half_.get(), taken, values + *done);
    *done += taken;
    pos_ = taken == second_converted.count ? static_cast<size_t>(second_converted.stop - Data())
         : taken > 0                       ? middle + second_half_ends_[taken - 1]
                                           : middle;
    return true;
}
