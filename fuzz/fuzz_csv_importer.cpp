// Fuzz target: the CSV import on arbitrary bytes must load cleanly, never
// read or write out of bounds, and give no more points than the input has
// lines; its block-buffered line reader must give exactly GetLine's lines.
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "line_reader.h"
#include "pcpfile.h"

namespace {

using FilePtr = std::unique_ptr<std::FILE, decltype(&std::fclose)>;

FilePtr Open(const std::string& path) { return FilePtr(std::fopen(path.c_str(), "r"), &std::fclose); }

void CompareLineReaders(const std::string& path, size_t block_size)
{
    std::vector<std::string> expected;
    FilePtr in = Open(path);
    char buffer[LineReader::kLineBufferSize];
    while (GetLine(buffer, sizeof buffer, in.get()) != nullptr) expected.push_back(buffer);

    in = Open(path);
    LineReader reader(in.get(), block_size);
    for (const std::string& line : expected) {
        const char* got = reader.Next();
        if (got == nullptr || line != got) std::abort();
    }
    if (reader.Next() != nullptr) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    // The import's bad-line reports would drown the fuzzer's own output.
    if (std::freopen("/dev/null", "w", stdout) == nullptr) std::abort();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    int fd = memfd_create("csv", 0);
    if (fd < 0) return 0;
    if (write(fd, data, size) != static_cast<ssize_t>(size)) {
        close(fd);
        return 0;
    }
    std::string path = "/proc/self/fd/" + std::to_string(fd);

    // A small block makes lines cross block ends often.
    CompareLineReaders(path, 1 + size % 61);

    PCPFile* file = InitPCPFile();
    if (LoadCSVFile(path.c_str(), file) != 0 || file->points == nullptr) std::abort();
    size_t lines = static_cast<size_t>(std::count(data, data + size, '\n')) + 1;
    if (file->count < 0 || static_cast<size_t>(file->count) + 1 > lines) std::abort();
    if (file->tag != 0 || file->has_sigma != 0) std::abort();
    DisposePCPFile(file);
    close(fd);
    return 0;
}
