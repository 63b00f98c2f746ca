// json_writer.cpp - JSON numbers in their shortest exact form and strings escaped from any bytes.
#include "json_writer.h"

#include <charconv>
#include <cmath>

namespace {

void AppendEscaped(std::string& out, unsigned char c)
{
    switch (c) {
    case '"': out += "\\\""; return;
    case '\\': out += "\\\\"; return;
    case '\b': out += "\\b"; return;
    case '\f': out += "\\f"; return;
    case '\n': out += "\\n"; return;
    case '\r': out += "\\r"; return;
    case '\t': out += "\\t"; return;
    }
    static const char kHex[] = "0123456789abcdef";
    out += "\\u00";
    out += kHex[c >> 4];
    out += kHex[c & 15];
}

}  // namespace

std::size_t Utf8Sequence(std::string_view text, bool* valid)
{
    auto byte = [&text](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    unsigned char lead = byte(0);
    std::size_t length;
    unsigned char low = 0x80, high = 0xBF;  // range of the second byte
    if (lead < 0x80) {
        *valid = true;
        return 1;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0) low = 0xA0;   // no overlong forms
        if (lead == 0xED) high = 0x9F;  // no surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0) low = 0x90;   // no overlong forms
        if (lead == 0xF4) high = 0x8F;  // nothing above U+10FFFF
    } else {
        *valid = false;
        return 1;
    }
    for (std::size_t i = 1; i < length; ++i) {
        bool fits = i < text.size() && byte(i) >= (i == 1 ? low : 0x80) && byte(i) <= (i == 1 ? high : 0xBF);
        if (!fits) {
            *valid = false;
            return i;
        }
    }
    *valid = true;
    return length;
}

char* AppendJsonNumber(char* out, double value)
{
    if (!std::isfinite(value)) {
        for (char c : std::string_view("null")) *out++ = c;
        return out;
    }
    // The general form takes the fewest significant digits; the plain
    // default could print all the digits of a large whole number instead.
    return std::to_chars(out, out + kMaxJsonNumberLength, value, std::chars_format::general).ptr;
}

void AppendJsonString(std::string& out, std::string_view text)
{
    out += '"';
    while (!text.empty()) {
        unsigned char c = static_cast<unsigned char>(text[0]);
        if (c < 0x20 || c == '"' || c == '\\' || c == 0x7F) {
            AppendEscaped(out, c);
            text.remove_prefix(1);
            continue;
        }
        bool valid = false;
        std::size_t length = Utf8Sequence(text, &valid);
        out += valid ? text.substr(0, length) : std::string_view("\xEF\xBF\xBD");
        text.remove_prefix(length);
    }
    out += '"';
}

void AddJsonName(JsonObject& object, std::string_view name)
{
    if (object.text.size() > 1) object.text += ',';
    AppendJsonString(object.text, name);
    object.text += ':';
}

void AddJsonString(JsonObject& object, std::string_view name, std::string_view value)
{
    AddJsonName(object, name);
    AppendJsonString(object.text, value);
}

void AddJsonInteger(JsonObject& object, std::string_view name, long long value)
{
    AddJsonName(object, name);
    object.text += std::to_string(value);
}

void AddJsonNumber(JsonObject& object, std::string_view name, double value)
{
    AddJsonName(object, name);
    char number[kMaxJsonNumberLength];
    object.text.append(number, AppendJsonNumber(number, value));
}

namespace {

// The array of `values`, "[v,v,...]".
void AppendJsonArray(std::string& text, std::span<const double> values)
{
    text += '[';
    for (std::size_t i = 0; i < values.size(); ++i) {
        if (i > 0) text += ',';
        char number[kMaxJsonNumberLength];
        text.append(number, AppendJsonNumber(number, values[i]));
    }
    text += ']';
}

}  // namespace

void AddJsonNumbers(JsonObject& object, std::string_view name, std::span<const double> values)
{
    AddJsonName(object, name);
    AppendJsonArray(object.text, values);
}

void AddJsonMatrix(JsonObject& object, std::string_view name, std::span<const double> values, std::size_t columns)
{
    AddJsonName(object, name);
    object.text += '[';
    for (std::size_t row = 0; columns > 0 && row * columns < values.size(); ++row) {
        if (row > 0) object.text += ',';
        AppendJsonArray(object.text, values.subspan(row * columns, columns));
    }
    object.text += ']';
}

void AddJsonBool(JsonObject& object, std::string_view name, bool value)
{
    AddJsonName(object, name);
    object.text += value ? "true" : "false";
}
