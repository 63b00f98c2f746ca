// JSON text: strings from any bytes, numbers in their shortest exact form.
#include "json_writer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <random>
#include <string>

#include "property_count.h"


namespace {

std::string Json(std::string_view text)
{
    std::string out;
    AppendJsonString(out, text);
    return out;
}

std::string Json(double value)
{
    char text[kMaxJsonNumberLength];
    return {text, AppendJsonNumber(text, value)};
}

TEST(AppendJsonString, EscapesAndRepairsAnyBytes)
{
    const std::string fffd = "\xEF\xBF\xBD";
    const struct {
        std::string text;
        std::string json;
    } cases[] = {
        {"", "\"\""},
        {"plain.pcp", "\"plain.pcp\""},
        {"a \"b\" \\c/", "\"a \\\"b\\\" \\\\c/\""},
        {"\b\f\n\r\t", "\"\\b\\f\\n\\r\\t\""},
        {std::string("\x00\x01\x1f\x7f", 4), "\"\\u0000\\u0001\\u001f\\u007f\""},
        {"caf\xC3\xA9 \xE2\x9C\x93 \xF0\x9F\x98\x80", "\"caf\xC3\xA9 \xE2\x9C\x93 \xF0\x9F\x98\x80\""},
        {"\xEF\xBF\xBF\xF4\x8F\xBF\xBF", "\"\xEF\xBF\xBF\xF4\x8F\xBF\xBF\""},  // the last of each length
        // Each maximal invalid sequence becomes one U+FFFD.
        {"a\xFF" "b", "\"a" + fffd + "b\""},
        {"\x80\xBF", "\"" + fffd + fffd + "\""},                   // continuations alone
        {"\xC0\xAF", "\"" + fffd + fffd + "\""},                   // overlong
        {"\xE0\x80\xAF", "\"" + fffd + fffd + fffd + "\""},        // overlong
        {"\xED\xA0\x80", "\"" + fffd + fffd + fffd + "\""},        // a surrogate
        {"\xF4\x90\x80\x80", "\"" + fffd + fffd + fffd + fffd + "\""},  // above U+10FFFF
        {"\xF0\x9F\x98" "x", "\"" + fffd + "x\""},                 // cut short
        {"\xE2\x9C", "\"" + fffd + "\""},                          // cut at the end
        {"\xC3\n", "\"" + fffd + "\\n\""},
    };
    for (const auto& c : cases) EXPECT_EQ(Json(c.text), c.json) << c.text;
}

TEST(AppendJsonNumber, WritesNullForWhatJsonCannotHold)
{
    EXPECT_EQ(Json(std::numeric_limits<double>::quiet_NaN()), "null");
    EXPECT_EQ(Json(-std::numeric_limits<double>::quiet_NaN()), "null");
    EXPECT_EQ(Json(std::numeric_limits<double>::infinity()), "null");
    EXPECT_EQ(Json(-std::numeric_limits<double>::infinity()), "null");
    EXPECT_EQ(Json(0.1), "0.1");
    EXPECT_EQ(Json(-0.0), "-0");
    EXPECT_EQ(Json(1234567890123456789.0), "1.2345678901234568e+18");
}

// The number of significant digits in a number's text.
int SignificantDigits(const std::string& text)
{
    std::string digits;
    for (char c : text.substr(0, text.find('e')))
        if (c >= '0' && c <= '9') digits += c;
    size_t first = digits.find_first_not_of('0');
    if (first == std::string::npos) return 1;
    digits = digits.substr(first);
    return static_cast<int>(digits.find_last_not_of('0') + 1);
}

// The fewest significant digits with which "%.*e" reads back as `value`.
int FewestDigits(double value)
{
    for (int digits = 1;; ++digits) {
        char text[64];
        std::snprintf(text, sizeof text, "%.*e", digits - 1, value);
        if (std::strtod(text, nullptr) == value) return digits;
    }
}

TEST(AppendJsonNumber, ReadsBackExactlyWithTheFewestDigits)
{
    std::mt19937_64 random(20240601);
    const size_t count = PropertyCount(50000);
    for (size_t i = 0; i < count; ++i) {
        // Random bit patterns cover every magnitude, subnormals included;
        // every fourth value is a short decimal, whose digits must stay short.
        uint64_t bits = random();
        double value;
        std::memcpy(&value, &bits, sizeof value);
        if (i % 4 == 0) value = static_cast<double>(static_cast<int64_t>(bits % 2000001) - 1000000) / 1000;
        if (!std::isfinite(value)) continue;
        std::string text = Json(value);
        ASSERT_LE(text.size(), kMaxJsonNumberLength);
        char* end = nullptr;
        double back = std::strtod(text.c_str(), &end);
        ASSERT_EQ(*end, '\0') << text;
        ASSERT_EQ(std::memcmp(&back, &value, sizeof value), 0) << text;
        ASSERT_EQ(SignificantDigits(text), FewestDigits(value)) << text;
    }
}

}  // namespace
