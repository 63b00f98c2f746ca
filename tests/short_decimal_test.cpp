// short_decimal_test.cpp - the one-operation conversion of short decimals against strtod.
#include "short_decimal.h"

#include <gtest/gtest.h>

#include <charconv>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>

#include "property_count.h"

namespace {

// The conversion of `text` (a blank and `tail` appended): taken or left,
// and when taken, the same bits as strtod and the same end.
void ExpectAsStrtod(const std::string& number, bool taken, const std::string& tail = "")
{
    const std::string text = number + " " + tail;
    double value = 0;
    const char* end = fitcore::ReadShortDecimal(text.data(), text.data() + text.size(), &value);
    ASSERT_EQ(end != nullptr, taken) << number;
    if (!taken) return;
    char* strtod_end = nullptr;
    const double expected = std::strtod(text.c_str(), &strtod_end);
    EXPECT_EQ(std::memcmp(&value, &expected, sizeof value), 0) << number << ": " << value << " vs " << expected;
    EXPECT_EQ(end, strtod_end) << number;
}

TEST(ShortDecimal, TakesExactlyTheFormsOneOperationDecides)
{
    struct Case {
        const char* text;
        bool taken;
    };
    for (const Case& c : {Case{"1.52121123", true}, Case{"-4.75764397e-08", true}, Case{"-0.0", true},
                          Case{"0", true}, Case{".5", true}, Case{"5.", true}, Case{"1E+22", true},
                          Case{"9007199254740992", true}, Case{"9007199254740993", false},
                          Case{"1e22", true}, Case{"1e23", false}, Case{"1e-22", true}, Case{"1e-23", false},
                          Case{"1234567890123456789", false}, Case{"0.000000000000000000001", false},
                          Case{"123456789012e10", true}, Case{"1e", false}, Case{"1e+", false},
                          Case{".", false}, Case{"-", false}, Case{"+1", false}, Case{"inf", false},
                          Case{"nan", false}, Case{"0x10", false}, Case{"1.5.2", false}, Case{"1,5", false},
                          Case{"1e0000000000000000000000001", true}, Case{"1e99999999999", false}})
        ExpectAsStrtod(c.text, c.taken);
    // The end of the text is no end of a token: it may go on in the next block.
    double value = 0;
    const char text[] = "12";
    EXPECT_EQ(fitcore::ReadShortDecimal(text, text + 2, &value), nullptr);
}

// Random decimals, followed by random text after the blank: digit runs are
// converted eight bytes at a time when eight can be read, whatever follows.
TEST(ShortDecimal, RandomDecimalsReadAsStrtodReadsThem)
{
    std::mt19937_64 random(7);
    const std::string tail_bytes("0123456789.e-+ \n\t\xFA\xFF\x7F\x00", 20);
    for (size_t i = 0, n = PropertyCount(200000); i < n; ++i) {
        std::string text = random() % 2 ? "-" : "";
        text += std::to_string(random() % 100000000000);
        const size_t point = random() % text.size();
        if (random() % 4 != 0 && text[point] != '-') text.insert(point, ".");
        if (random() % 3 == 0) text += "e" + std::to_string(static_cast<int>(random() % 40) - 20);
        std::string tail(random() % 12, ' ');
        for (char& c : tail) c = tail_bytes[random() % tail_bytes.size()];
        const std::string padded = text + " " + tail, plain = text + " ";
        double value = 0;
        const bool taken = fitcore::ReadShortDecimal(padded.data(), padded.data() + padded.size(), &value) != nullptr;
        // Whether a number is taken does not depend on the text after it.
        EXPECT_EQ(taken, fitcore::ReadShortDecimal(plain.data(), plain.data() + plain.size(), &value) != nullptr)
            << text;
        if (taken) ExpectAsStrtod(text, true, tail);
        // Without the blank, as a CSV or table field is read: the end and the
        // value of from_chars, whatever follows.
        const std::string field = text + tail;
        const char* end = fitcore::ReadShortDecimalNumber(field.data(), field.data() + field.size(), &value);
        if (end == nullptr) continue;
        double expected = 0;
        const auto [expected_end, error] = std::from_chars(field.data(), field.data() + field.size(), expected);
        ASSERT_EQ(error, std::errc()) << field;
        EXPECT_EQ(end, expected_end) << field;
        EXPECT_EQ(std::memcmp(&value, &expected, sizeof value), 0) << field;
    }
}

}  // namespace
