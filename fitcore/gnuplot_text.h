// gnuplot_text.h - checks shared by the gnuplot operations before a line is sent.
#pragma once

#include <cstdarg>
#include <cstddef>

namespace fitcore {

// True when `text` can stand between double quotes on one gnuplot line: no
// double quote (it would end the text), no backquote (gnuplot would run the
// text as a shell command) and no line break. Otherwise writes
// "cannot send <what>: ..." on standard error and gives false.
bool QuotableText(const char* text, const char* what);

// True when `text` holds no line break; otherwise writes a message naming
// `what` on standard error and gives false.
bool SingleLineText(const char* text, const char* what);

// Formats a command into `buffer` of `size` characters. False, with a
// message on standard error, when it does not fit with room for the newline
// that gnuplot_cmd appends; nothing is to be sent then.
bool ComposeCommand(char* buffer, std::size_t size, const char* format, ...)
    __attribute__((format(printf, 3, 4)));

// ComposeCommand with the arguments as a va_list.
bool ComposeCommandV(char* buffer, std::size_t size, const char* format, va_list arguments)
    __attribute__((format(printf, 3, 0)));

}  // namespace fitcore
