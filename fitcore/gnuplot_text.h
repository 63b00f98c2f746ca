// gnuplot_text.h - checks shared by the gnuplot operations before a line is sent.
#pragma once

#include <cstdarg>
#include <cstddef>
#include <string>

namespace fitcore {

// True when `text` can stand between double quotes on one gnuplot line: no
// double quote (it would end the text), no backquote (gnuplot would run the
// text as a shell command) and no line break. Otherwise writes
// "cannot send <what>: ..." on standard error and gives false.
bool QuotableText(const char* text, const char* what);

// `text` as a gnuplot string in double quotes that gnuplot reads back as
// `text` itself: every backslash doubled. False, with the message of
// QuotableText, for a text that can't be quoted.
bool QuoteText(const char* text, const char* what, std::string* quoted);

// The file `name` as a gnuplot string that can only name that file: a
// relative name gets "./" in front, so that gnuplot takes neither a leading
// "|" or "<" for a command nor a leading "~" for a home directory, then it is
// quoted as QuoteText does. False, with a message naming `what` on standard
// error, for an empty name or one that can't be quoted.
bool QuoteFileName(const char* name, const char* what, std::string* quoted);

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
