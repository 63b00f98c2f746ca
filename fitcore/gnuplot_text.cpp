// gnuplot_text.cpp - refusal of texts and commands that would not reach gnuplot intact.
#include "gnuplot_text.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include <fitcore/gnuplot_connection.h>

namespace fitcore {

std::string GnuplotFileName(const char* name)
{
    if (std::filesystem::path(name).has_root_path()) return name;
    return std::string("./") + name;
}

bool QuotableText(const char* text, const char* what)
{
    if (std::strpbrk(text, "\"`\n") == nullptr) return true;
    std::fprintf(stderr,
                 "cannot send %s: a double quote, backquote or line break in it is not allowed\n",
                 what);
    return false;
}

bool QuoteText(const char* text, const char* what, std::string* quoted)
{
    if (!QuotableText(text, what)) return false;
    quoted->assign(1, '"');
    for (const char* c = text; *c != '\0'; ++c) {
        if (*c == '\\') *quoted += '\\';
        *quoted += *c;
    }
    *quoted += '"';
    return true;
}

bool QuoteFileName(const char* name, const char* what, std::string* quoted)
{
    if (*name == '\0') {
        std::fprintf(stderr, "cannot send %s: it is empty\n", what);
        return false;
    }
    return QuoteText(GnuplotFileName(name).c_str(), what, quoted);
}

bool SingleLineText(const char* text, const char* what)
{
    if (std::strpbrk(text, "\n") == nullptr) return true;
    std::fprintf(stderr, "cannot send %s: a line break in it is not allowed\n", what);
    return false;
}

bool ComposeCommand(char* buffer, std::size_t size, const char* format, ...)
{
    va_list arguments;
    va_start(arguments, format);
    bool composed = ComposeCommandV(buffer, size, format, arguments);
    va_end(arguments);
    return composed;
}

bool ComposeCommandV(char* buffer, std::size_t size, const char* format, va_list arguments)
{
    int length = std::vsnprintf(buffer, size, format, arguments);
    // The command, gnuplot_cmd's newline and the terminator must all fit.
    if (length >= 0 && static_cast<std::size_t>(length) + 2 <= size) return true;
    std::fprintf(stderr, "gnuplot command too long (limit %zu characters): not sent\n", size - 2);
    return false;
}

}  // namespace fitcore
