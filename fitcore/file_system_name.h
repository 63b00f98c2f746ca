// file_system_name.h - file names between the programs' text and std::filesystem.
#pragma once

#include <exception>
#include <filesystem>
#include <string>

namespace fitcore {

// `name` as std::filesystem takes it: read as UTF-8, the code page the
// programs run with on Windows (elsewhere its bytes pass unchanged). A name
// that is not UTF-8, as on a Windows without that code page, is taken as the
// C library reads it.
inline std::filesystem::path FileSystemPath(const char* name)
{
    try {
        return std::filesystem::path(reinterpret_cast<const char8_t*>(name));
    } catch (const std::exception&) {
        return std::filesystem::path(name);
    }
}

// The name of `path` as the programs and the system's calls take it: UTF-8
// on Windows, its bytes elsewhere.
inline std::string FileName(const std::filesystem::path& path)
{
    std::u8string name = path.u8string();
    return std::string(name.begin(), name.end());
}

}  // namespace fitcore
