// whole_number.cpp - the "%d" reading of a whole number.
#include <fitcore/whole_number.h>

#include <algorithm>
#include <limits>

#include "text_chars.h"

namespace fitcore {

namespace {

constexpr int64_t kLowest = std::numeric_limits<int32_t>::min();
constexpr int64_t kHighest = std::numeric_limits<int32_t>::max();

}  // namespace

bool WholeNumberReader::Take(int c)
{
    const bool first = !started_;
    started_ = true;
    if (first && (c == '+' || c == '-')) {
        negative_ = c == '-';
        return true;
    }
    if (!IsDigit(c)) return false;
    if (magnitude_ <= -kLowest) magnitude_ = magnitude_ * 10 + (c - '0');
    ++digits_;
    return true;
}

WholeNumberStatus WholeNumberReader::status() const
{
    if (digits_ == 0) return WholeNumberStatus::NoNumber;
    const int64_t signed_value = negative_ ? -magnitude_ : magnitude_;
    return signed_value < kLowest || signed_value > kHighest ? WholeNumberStatus::OutOfRange
                                                             : WholeNumberStatus::Ok;
}

int32_t WholeNumberReader::value() const
{
    const int64_t signed_value = negative_ ? -magnitude_ : magnitude_;
    return static_cast<int32_t>(std::clamp(signed_value, kLowest, kHighest));
}

std::optional<int32_t> WholeNumberOf(std::string_view text)
{
    WholeNumberReader number;
    for (char c : text)
        if (!number.Take(static_cast<unsigned char>(c))) return std::nullopt;
    if (number.status() != WholeNumberStatus::Ok) return std::nullopt;
    return number.value();
}

}  // namespace fitcore
