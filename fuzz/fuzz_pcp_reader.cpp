// Fuzz target: the PCP reader on arbitrary bytes must load or refuse cleanly
// (1 for text that is no header, 2 for a header no array can have),
// never read or write out of bounds, and never report more points than it read.
#include <sys/mman.h>
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <cstring>

#include <fitcore/pcpfile.h>

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    // The reader's warnings would drown the fuzzer's own output.
    if (std::freopen("/dev/null", "w", stdout) == nullptr) std::abort();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // The point array is allocated from the header's count before anything
    // else is read; counts beyond what the fuzzer's memory allows are the
    // unit tests' business. The reader skips a UTF-8 byte order mark before
    // the count, and so does this guard.
    std::string text(reinterpret_cast<const char*>(data), size);
    const std::size_t count_at = text.starts_with("\xEF\xBB\xBF") ? 3 : 0;
    if (std::strtol(text.c_str() + count_at, nullptr, 10) > 4096) return 0;

    int fd = memfd_create("pcp", 0);
    if (fd < 0) return 0;
    if (write(fd, data, size) != static_cast<ssize_t>(size)) {
        close(fd);
        return 0;
    }
    std::string path = "/proc/self/fd/" + std::to_string(fd);

    PCPFile* file = InitPCPFile();
    int result = LoadPCPFile(path.c_str(), file);
    if (result == 0) {
        if (file->points == nullptr || file->count < 0) std::abort();
        double total = 0;
        for (int32_t i = 0; i < file->count; ++i) {
            const Point& point = file->points[i];
            total += point.x + point.y + point.sigma + point.fit + point.weight;  // touches every field
            if (file->has_sigma == 0 && point.sigma != 0) std::abort();
        }
        (void)total;
    } else if ((result != 1 && result != 2) || file->points != nullptr) {
        std::abort();
    }
    DisposePCPFile(file);
    close(fd);
    return 0;
}
