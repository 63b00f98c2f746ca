// limits - the bare costs the programs are measured against: reading a data
// file in one go and converting its numbers with std::from_chars, and
// formatting a table's numbers with std::to_chars into a buffer written to
// standard output. Single-threaded, no checks beyond what keeps it correct.
//
//   limits read FILE     convert every number of FILE
//   limits table FILE    that, then one row per point "i x y x+y y-x" as
//                        "%d\t%1.6e\t%1.6e\t%1.6e\t%1.6e\n" (the line table's size)
//   limits format COUNT  COUNT such rows from generated numbers only
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

std::vector<char> ReadWhole(const char* path)
{
    std::vector<char> text;
    std::FILE* in = std::fopen(path, "rb");
    if (in == nullptr) return text;
    std::fseek(in, 0, SEEK_END);
    long size = std::ftell(in);
    std::fseek(in, 0, SEEK_SET);
    text.resize(size > 0 ? static_cast<size_t>(size) : 0);
    text.resize(std::fread(text.data(), 1, text.size(), in));
    std::fclose(in);
    return text;
}

bool IsSpace(char c) { return c == ' ' || c == '\n' || c == '\t' || c == '\r' || c == ','; }

std::vector<double> ConvertNumbers(const std::vector<char>& text)
{
    std::vector<double> numbers;
    numbers.reserve(text.size() / 8);
    const char* at = text.data();
    const char* end = at + text.size();
    while (at < end) {
        while (at < end && IsSpace(*at)) ++at;
        double value;
        auto [stop, error] = std::from_chars(at, end, value);
        if (stop == at) {  // a CSV header word: skip it
            while (at < end && !IsSpace(*at)) ++at;
            continue;
        }
        if (error == std::errc()) numbers.push_back(value);
        at = stop;
    }
    return numbers;
}

class Table {
public:
    ~Table()
    {
        std::fwrite(buffer_.data(), 1, used_, stdout);
    }
    void Row(long index, double a, double b, double c, double d)
    {
        if (buffer_.size() - used_ < 128) {
            std::fwrite(buffer_.data(), 1, used_, stdout);
            used_ = 0;
        }
        char* at = buffer_.data() + used_;
        char* limit = at + 128;
        at = std::to_chars(at, limit, index).ptr;
        for (double value : {a, b, c, d}) {
            *at++ = '\t';
            at = std::to_chars(at, limit, value, std::chars_format::scientific, 6).ptr;
        }
        *at++ = '\n';
        used_ = static_cast<size_t>(at - buffer_.data());
    }

private:
    std::vector<char> buffer_ = std::vector<char>(size_t{1} << 20);
    size_t used_ = 0;
};

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: limits read|table FILE, or limits format COUNT\n");
        return 2;
    }
    std::string mode = argv[1];
    if (mode == "format") {
        long count = std::atol(argv[2]);
        Table table;
        for (long i = 0; i < count; ++i) {
            double x = static_cast<double>(i) * 1e-6, y = 1.5 + 2.3 * x;
            table.Row(i + 1, x, y, x + y, y - x);
        }
        return 0;
    }
    std::vector<char> text = ReadWhole(argv[2]);
    std::vector<double> numbers = ConvertNumbers(text);
    if (mode == "read") {
        double total = 0;
        for (double value : numbers) total += value;
        std::printf("%zu numbers, sum %g\n", numbers.size(), total);
        return 0;
    }
    if (mode != "table") return 2;
    // PCP: three header integers, then x y pairs (sigma files: every third is skipped).
    size_t width = numbers.size() >= 3 && numbers[2] != 0 ? 3 : 2;
    Table table;
    long row = 0;
    for (size_t i = 3; i + width <= numbers.size(); i += width) {
        double x = numbers[i], y = numbers[i + 1];
        table.Row(++row, x, y, x + y, y - x);
    }
    return 0;
}
