// files.h - a whole file read or written in one call, byte for byte.
#pragma once

#include <string>

std::string ReadFile(const std::string& path);
void WriteFile(const std::string& path, const std::string& content);
