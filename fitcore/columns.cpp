// columns.cpp - "X:Y[:S]", the columns a table is read by.
#include <fitcore/table.h>

#include <string_view>

#include <fitcore/whole_number.h>

namespace fitcore {

namespace {

bool ParseColumn(std::string_view text, ColumnRef* column, std::string* error)
{
    if (text.empty()) {
        *error = "a column is empty";
        return false;
    }
    bool digits = true;
    for (char c : text) digits = digits && c >= '0' && c <= '9';
    if (!digits) {
        column->name = std::string(text);
        return true;
    }
    std::optional<int32_t> number = WholeNumberOf(text);
    if (!number || *number < 1) {
        *error = "column " + std::string(text) + " does not exist: columns are numbered from 1";
        return false;
    }
    column->number = static_cast<std::size_t>(*number);
    return true;
}

std::vector<std::string_view> Split(std::string_view text, char separator)
{
    std::vector<std::string_view> parts;
    for (std::size_t start = 0;;) {
        std::size_t stop = text.find(separator, start);
        parts.push_back(text.substr(start, stop == std::string_view::npos ? std::string_view::npos : stop - start));
        if (stop == std::string_view::npos) return parts;
        start = stop + 1;
    }
}

}  // namespace

ColumnChoice parse_columns(const std::string& text)
{
    ColumnChoice choice;
    std::vector<std::string_view> parts = Split(text, ':');
    if (parts.size() < 2 || parts.size() > 3) {
        choice.error = "give the columns as X:Y or X:Y:S";
        return choice;
    }
    for (std::string_view x : Split(parts[0], ',')) {
        choice.x.emplace_back();
        if (!ParseColumn(x, &choice.x.back(), &choice.error)) return choice;
    }
    if (!ParseColumn(parts[1], &choice.y, &choice.error)) return choice;
    choice.has_sigma = parts.size() == 3;
    if (choice.has_sigma && !ParseColumn(parts[2], &choice.sigma, &choice.error)) return choice;
    choice.ok = true;
    return choice;
}

}  // namespace fitcore
