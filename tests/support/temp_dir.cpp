// temp_dir.cpp - scratch directories for tests.
#include "temp_dir.h"

#include <cstdio>
#include <filesystem>
#include <random>
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
    // A new directory under a name not taken yet, on every system.
    static std::mt19937_64 names{std::random_device{}()};
    for (int attempt = 0; attempt < 100; ++attempt) {
        char name[32];
        std::snprintf(name, sizeof name, "fitcore-test-%012llx",
                      static_cast<unsigned long long>(names() & 0xffffffffffffULL));
        std::string path = (std::filesystem::path(base) / name).generic_string();
        std::error_code error;
        if (std::filesystem::create_directory(path, error)) {
            path_ = path;
            return;
        }
        if (error) throw std::runtime_error("can't create " + path + ": " + error.message());
    }
    throw std::runtime_error("no free scratch directory name in " + base);
}

TempDir::~TempDir()
{
    std::error_code ignored;
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ignored);
    std::filesystem::remove_all(path_, ignored);
}
