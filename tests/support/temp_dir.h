// temp_dir.h - a scratch directory that is removed with everything in it.
#pragma once

#include <string>

// A memory-backed base for tests that write many small files quickly:
// /dev/shm where it exists, else the system's temporary directory.
std::string MemoryScratchBase();

class TempDir {
public:
    TempDir();
    // Inside `base` instead of the system's temporary directory.
    explicit TempDir(const std::string& base);
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return path_; }
    std::string File(const std::string& name) const { return path_ + "/" + name; }

private:
    void Create(const std::string& base);

    std::string path_;
};
