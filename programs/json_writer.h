// json_writer.h - JSON text of numbers, strings and the members of one object.
#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <string_view>

// The length of the valid UTF-8 sequence at the start of the non-empty
// `text`, or, when it is invalid (a stray continuation byte, an overlong
// form, a surrogate, beyond U+10FFFF, cut short), the length of its longest
// valid beginning (at least 1). `valid` tells which.
std::size_t Utf8Sequence(std::string_view text, bool* valid);

// The longest number AppendJsonNumber writes, "-2.2250738585072014e-308" and the like.
constexpr std::size_t kMaxJsonNumberLength = 24;

// Writes `value` with the fewest significant digits that read back to the
// same double, in the style of "%g" ("0.1", "100", "1.2e+06"), or "null" for
// NaN and the infinities, which JSON has no numbers for. Returns the end of
// the text; adds no NUL.
char* AppendJsonNumber(char* out, double value);

// Appends `text` as a JSON string in double quotes: the quote, the backslash
// and every control character escaped, valid UTF-8 kept, and each maximal
// invalid UTF-8 sequence replaced by U+FFFD, so that any bytes give valid JSON.
void AppendJsonString(std::string& out, std::string_view text);

// The text of one JSON object, built member by member in the order added.
struct JsonObject {
    std::string text = "{";
};

// Appends the member's name and its colon; the caller appends the value.
void AddJsonName(JsonObject& object, std::string_view name);
void AddJsonString(JsonObject& object, std::string_view name, std::string_view value);
void AddJsonInteger(JsonObject& object, std::string_view name, long long value);
void AddJsonNumber(JsonObject& object, std::string_view name, double value);
void AddJsonNumbers(JsonObject& object, std::string_view name, std::span<const double> values);
// "name":[[...],...]: `values` row by row, `columns` to a row.
void AddJsonMatrix(JsonObject& object, std::string_view name, std::span<const double> values, std::size_t columns);
void AddJsonBool(JsonObject& object, std::string_view name, bool value);
