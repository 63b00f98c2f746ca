// memory_stream.cpp - streams over memory: the C library's own where it has
// them, else a temporary binary file that is deleted when it is closed.
#include "memory_stream.h"

#include <cstdlib>
#include <filesystem>
#include <random>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>

namespace {

std::FILE* TemporaryStream()
{
    static std::mt19937_64 names{std::random_device{}()};
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string path = (std::filesystem::temp_directory_path() /
                            ("fitcore-stream-" + std::to_string(names()))).string();
        int fd = _open(path.c_str(), _O_CREAT | _O_EXCL | _O_RDWR | _O_BINARY | _O_TEMPORARY, 0600);
        if (fd < 0) continue;
        if (std::FILE* stream = _fdopen(fd, "w+b")) return stream;
        _close(fd);
        return nullptr;
    }
    return nullptr;
}

}  // namespace

std::FILE* OpenTextForReading(const std::string& text)
{
    std::FILE* stream = TemporaryStream();
    if (stream == nullptr) return nullptr;
    std::fwrite(text.data(), 1, text.size(), stream);
    std::rewind(stream);
    return stream;
}

std::string WrittenTo(const std::function<void(std::FILE*)>& write)
{
    std::FILE* stream = TemporaryStream();
    if (stream == nullptr) return "";
    write(stream);
    std::rewind(stream);
    std::string text;
    char block[4096];
    for (std::size_t got; (got = std::fread(block, 1, sizeof block, stream)) > 0;) text.append(block, got);
    std::fclose(stream);
    return text;
}
#else

std::FILE* OpenTextForReading(const std::string& text)
{
    return fmemopen(const_cast<char*>(text.data()), text.size(), "r");  // "r": never written
}

std::string WrittenTo(const std::function<void(std::FILE*)>& write)
{
    char* text = nullptr;
    std::size_t size = 0;
    std::FILE* stream = open_memstream(&text, &size);
    if (stream == nullptr) return "";
    write(stream);
    std::fclose(stream);
    std::string written(text, size);
    std::free(text);
    return written;
}
#endif
