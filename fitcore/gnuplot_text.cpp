// gnuplot_text.cpp - refusal of texts and commands that would not reach gnuplot intact.
#include "gnuplot_text.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace fitcore {

bool QuotableText(const char* text, const char* what)
{
    if (std::strpbrk(text, "\"`\n") == nullptr) return true;
    std::fprintf(stderr,
                 "cannot send %s: a double quote, backquote or line break in it is not allowed\n",
                 what);
    return false;
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
