// table_fields.cpp - lines, fields and rows of a text table.
#include "table_fields.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <system_error>

#include "short_decimal.h"

namespace fitcore::table {

namespace {

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool EqualsIgnoringCase(std::string_view text, std::string_view lower)
{
    if (text.size() != lower.size()) return false;
    for (std::size_t i = 0; i < text.size(); ++i)
        if (Lower(text[i]) != lower[i]) return false;
    return true;
}

bool IsMissingMark(std::string_view field)
{
    return field.empty() || EqualsIgnoringCase(field, "na") || EqualsIgnoringCase(field, "n/a") ||
           EqualsIgnoringCase(field, "nan");
}


// The end of the finite number at `at` (decimal digits, point, exponent, an
// optional sign) in text before `last`; null when none starts there.
const char* ReadFinite(const char* at, const char* last, double* value)
{
    const char* first = at != last && *at == '+' ? at + 1 : at;
    if (first == last || !(*first == '.' || (*first >= '0' && *first <= '9') || (*first == '-' && first == at)))
        return nullptr;
    if (const char* stop = ReadShortDecimalNumber(first, last, value)) return stop;
    auto [stop, error] = std::from_chars(first, last, *value);
    return error == std::errc() && std::isfinite(*value) ? stop : nullptr;
}

// A finite number that is the whole of [first, last). False for anything else.
bool WholeNumber(const char* first, const char* last, double* value)
{
    double parsed;
    if (ReadFinite(first, last, &parsed) != last) return false;
    *value = parsed;
    return true;
}

// A quoted field from its opening quote: the text with "" read as one
// quote, and where the field's text ends (behind the closing quote).
std::string Unquoted(std::string_view line, std::size_t* at)
{
    std::string text;
    std::size_t i = *at + 1;
    for (; i < line.size(); ++i) {
        if (line[i] != '"') {
            text += line[i];
        } else if (i + 1 < line.size() && line[i + 1] == '"') {
            text += '"';
            ++i;
        } else {
            ++i;
            break;
        }
    }
    *at = i;
    return text;
}

}  // namespace

const char* NextLine(const char* at, const char* end)
{
    while (at != end && !IsLineEnd(*at)) ++at;
    if (at == end) return end;
    if (*at == '\r' && at + 1 != end && at[1] == '\n') return at + 2;
    return at + 1;
}

std::string_view LineAt(const char* at, const char* end)
{
    const char* stop = at;
    while (stop != end && !IsLineEnd(*stop)) ++stop;
    return {at, static_cast<std::size_t>(stop - at)};
}

std::string_view Trimmed(std::string_view text)
{
    while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
    return text;
}

bool IsBlankLine(std::string_view line) { return Trimmed(line).empty(); }

bool IsCommentLine(std::string_view line)
{
    line = Trimmed(line);
    return !line.empty() && (line.front() == '#' || line.front() == '%' || line.front() == '!');
}

FieldKind ClassifyField(std::string_view field, bool decimal_comma, double* value)
{
    if (IsMissingMark(field)) return FieldKind::Missing;
    if (decimal_comma && field.find(',') != std::string_view::npos) {
        if (field.find('.') != std::string_view::npos) return FieldKind::Text;
        std::string pointed(field);
        std::replace(pointed.begin(), pointed.end(), ',', '.');
        return WholeNumber(pointed.data(), pointed.data() + pointed.size(), value) ? FieldKind::Number
                                                                                   : FieldKind::Text;
    }
    return WholeNumber(field.data(), field.data() + field.size(), value) ? FieldKind::Number : FieldKind::Text;
}

std::vector<std::string> SplitFields(std::string_view line, char delimiter)
{
    std::vector<std::string> fields;
    std::size_t at = 0;
    const bool runs = delimiter == kBlankRuns;
    if (runs) {
        while (at < line.size() && IsBlank(line[at])) ++at;
        if (at == line.size()) return fields;
    }
    for (;;) {
        while (at < line.size() && IsBlank(line[at]) && !(IsBlank(delimiter) && line[at] == delimiter)) ++at;
        std::string field;
        if (at < line.size() && line[at] == '"') field = Unquoted(line, &at);
        std::size_t start = at;
        while (at < line.size() && (runs ? !IsBlank(line[at]) : line[at] != delimiter)) ++at;
        field += line.substr(start, at - start);
        fields.push_back(std::string(Trimmed(field)));
        if (runs) {
            while (at < line.size() && IsBlank(line[at])) ++at;
            if (at == line.size()) return fields;
        } else {
            if (at == line.size()) return fields;
            ++at;  // the delimiter
        }
    }
}

RowParser::RowParser(char delimiter, bool decimal_comma, std::vector<int> slots)
    : delimiter_(delimiter), decimal_comma_(decimal_comma), slots_(std::move(slots))
{
}

// Runs of blanks with plain numbers, the common case, are read in place;
// every other line goes through SplitFields.
RowParser::Row RowParser::Parse(const char* at, const char* end, double* row, const char** next) const
{
    const char* line = at;
    while (at != end && IsBlank(*at)) ++at;
    if (at == end || IsLineEnd(*at) || *at == '#' || *at == '%' || *at == '!') {
        *next = NextLine(at, end);
        return Row::Passed;
    }
    if (delimiter_ == kBlankRuns && !decimal_comma_) {
        std::size_t field = 0;
        for (; field < slots_.size(); ++field) {
            if (at == end || IsLineEnd(*at)) break;  // fewer fields than chosen
            double value;
            const char* stop = ReadFinite(at, end, &value);
            if (stop == nullptr || (stop != end && !IsBlank(*stop) && !IsLineEnd(*stop))) break;
            if (slots_[field] >= 0) row[slots_[field]] = value;
            at = stop;
            while (at != end && IsBlank(*at)) ++at;
        }
        if (field == slots_.size()) {
            *next = NextLine(at, end);
            return Row::Data;
        }
    }
    *next = NextLine(at, end);
    return ParseGeneral(LineAt(line, end), row);
}

RowParser::Row RowParser::ParseGeneral(std::string_view line, double* row) const
{
    std::vector<std::string> fields = SplitFields(line, delimiter_);
    bool missing = false;
    for (std::size_t field = 0; field < slots_.size(); ++field) {
        if (slots_[field] < 0) continue;
        if (field >= fields.size()) {
            missing = true;
            continue;
        }
        double value = 0;
        switch (ClassifyField(fields[field], decimal_comma_, &value)) {
        case FieldKind::Number: row[slots_[field]] = value; break;
        case FieldKind::Missing: missing = true; break;
        case FieldKind::Text: return Row::Bad;
        }
    }
    return missing ? Row::Missing : Row::Data;
}

}  // namespace fitcore::table
