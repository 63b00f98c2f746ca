// temp_dir.cpp - scratch directories for tests.
#include "temp_dir.h"

#include <cstdlib>
#include <filesystem>
#include <stdexcept>

std::string MemoryScratchBase()
{
    std::error_code error;
    if (std::filesystem::is_directory("/dev/shm", error)) return "/dev/shm";
    return std::filesystem::temp_directory_path().string();
}

TempDir::TempDir() { Create(std::filesystem::temp_directory_path().string()); }

TempDir::TempDir(const std::string& base) { Create(base); }

void TempDir::Create(const std::string& base)
{
    std::string pattern = (std::filesystem::path(base) / "fitcore-test-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
}

TempDir::~TempDir()
{
    std::error_code ignored;
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ignored);
    std::filesystem::remove_all(path_, ignored);
}
