// Fuzz target: the CSV import on arbitrary bytes must load cleanly, never
// read or write out of bounds, and give no more points than the input has
// lines; its block-buffered line reader must give exactly the lines GetLine
// gives for the same text with LF line ends and no byte order mark, and
// tell exactly which of them were cut.
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
#include <fitcore/pcpfile.h>

namespace {

using FilePtr = std::unique_ptr<std::FILE, decltype(&std::fclose)>;

FilePtr Open(const std::string& path) { return FilePtr(std::fopen(path.c_str(), "r"), &std::fclose); }

// The text as GetLine sees the same lines: every CR LF and lone CR a LF, and
// no byte order mark at the start.
std::string AsGetLineSeesIt(const uint8_t* data, size_t size)
{
    std::string text(reinterpret_cast<const char*>(data), size);
    if (text.rfind("\xEF\xBB\xBF", 0) == 0) text.erase(0, 3);
    std::string result;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\r') {
            result += text[i];
            continue;
        }
        result += '\n';
        if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
    }
    return result;
}

void CompareLineReaders(const std::string& path, std::FILE* as_lf, size_t block_size)
{
    std::vector<std::string> expected;
    std::vector<bool> cut;
    char buffer[LineReader::kLineBufferSize];
    for (long at = 0; GetLine(buffer, sizeof buffer, as_lf) != nullptr; at = std::ftell(as_lf)) {
        expected.push_back(buffer);
        cut.push_back(std::ftell(as_lf) - at - 1 > static_cast<long>(LineReader::kLineBufferSize) - 1);
    }

    FilePtr in = Open(path);
    LineReader reader(in.get(), block_size);
    for (size_t i = 0; i < expected.size(); ++i) {
        const char* got = reader.Next();
        if (got == nullptr || expected[i] != got || reader.cut() != cut[i]) std::abort();
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
    std::string as_lf = AsGetLineSeesIt(data, size);
    int as_lf_fd = memfd_create("lf", 0);
    if (as_lf_fd < 0) std::abort();
    if (write(as_lf_fd, as_lf.data(), as_lf.size()) != static_cast<ssize_t>(as_lf.size())) std::abort();
    FilePtr as_lf_stream = Open("/proc/self/fd/" + std::to_string(as_lf_fd));
    CompareLineReaders(path, as_lf_stream.get(), 1 + size % 61);
    as_lf_stream.reset();
    close(as_lf_fd);

    PCPFile* file = InitPCPFile();
    if (LoadCSVFile(path.c_str(), file) != 0 || file->points == nullptr) std::abort();
    size_t lines = static_cast<size_t>(std::count(data, data + size, '\n') + std::count(data, data + size, '\r')) + 1;
    if (file->count < 0 || static_cast<size_t>(file->count) + 1 > lines) std::abort();
    if (file->tag != 0 || file->has_sigma != 0) std::abort();
    DisposePCPFile(file);
    close(fd);
    return 0;
}
