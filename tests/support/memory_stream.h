// memory_stream.h - C streams over text in memory, for code that takes a FILE*.
#pragma once

#include <cstdio>
#include <functional>
#include <string>

// A stream that reads `text`, which must outlive it; null when none can be had.
std::FILE* OpenTextForReading(const std::string& text);

// Everything `write` writes to the stream it is given.
std::string WrittenTo(const std::function<void(std::FILE*)>& write);
