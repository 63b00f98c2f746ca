// number_scanner_property_test.cpp - the block scanner and LoadPCPFile against fscanf
// on random and malformed input.
#include "number_scanner.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "capture_stdout.h"
#include "memory_stream.h"
#include <fitcore/pcpfile.h>
#include "property_count.h"
#include "reference.h"
#include "run_program.h"
#include "temp_dir.h"
#include "two_halves.h"

namespace {

using Random = std::mt19937_64;

size_t Below(Random& random, size_t limit) { return static_cast<size_t>(random() % limit); }

template <size_t N>
const char* Pick(Random& random, const char* const (&choices)[N])
{
    return choices[Below(random, N)];
}

std::string Digits(Random& random, size_t count)
{
    std::string text;
    for (size_t i = 0; i < count; ++i) text += static_cast<char>('0' + Below(random, 10));
    return text;
}

std::string PlainDecimal(Random& random)
{
    std::string text = Pick(random, {"", "", "", "-", "+"});
    text += Digits(random, Below(random, 8));
    if (Below(random, 2)) text += "." + Digits(random, Below(random, 10));
    if (Below(random, 3) == 0) {
        text += Pick(random, {"e", "E"});
        text += Pick(random, {"", "-", "+"});
        text += Digits(random, 1 + Below(random, 3));
    }
    return text;
}

std::string Printed(Random& random)
{
    uint64_t bits = random();
    double value;
    std::memcpy(&value, &bits, sizeof value);
    if (Below(random, 2)) value = static_cast<double>(Below(random, 2000000)) / 1000 - 1000;
    char text[64];
    std::snprintf(text, sizeof text, Pick(random, {"%g", "%.17g", "%e", "%a", "%.3f", "%G", "%A"}), value);
    return text;
}

std::string HexFloat(Random& random)
{
    const char hex[] = "0123456789abcdefABCDEF";
    std::string text = Pick(random, {"", "-", "+"});
    text += Pick(random, {"0x", "0X"});
    for (size_t i = Below(random, 6); i > 0; --i) text += hex[Below(random, 22)];
    if (Below(random, 2)) text += ".";
    for (size_t i = Below(random, 4); i > 0; --i) text += hex[Below(random, 22)];
    if (Below(random, 2)) text += std::string(Pick(random, {"p", "P"})) + Pick(random, {"", "-", "+"}) + Digits(random, Below(random, 4));
    return text;
}

const char* const kWords[] = {"inf", "INF", "Inf", "infinity", "INFINITY", "infinit", "infin", "in", "i", "infx",
                              "nan", "NaN", "NAN", "nan(123)", "nan(", "nan()", "na", "n", "-inf", "+nan", "-nan",
                              "-NaN", "+infinity", "-in", "nanx"};

const char* const kMalformed[] = {"1e", "1e+", "1e-", "-", "+", ".", "-.", "+.", "0x", "0X", "0xp1", "+0x", "-0x",
                                  "0xg", "1.5.3", "--1", "+-1", "e5", "E", "1e5e3", "0x1p", "0x1p+", "0x.p1", ".e1",
                                  "1,5", "1_0", "abc", "x", "100ergs", "1e+-2", "0e", "00e2", "1e5.3", "0x.", "#"};

const char* const kExtremes[] = {"1e400", "-1e400", "1e-400", "-1e-400", "4.9e-324", "5e-324", "2.4703282292062328e-324",
                                 "2.4703282292062329e-324", "2.2250738585072011e-308", "2.2250738585072014e-308",
                                 "1.7976931348623157e308", "1.7976931348623158e308", "1.797693134862315807e308",
                                 "1.7976931348623159e308", "9007199254740993", "0.1000000000000000055511151231257827",
                                 "123456789012345678901234567890e-30", "0000000000000000000001", "2147483648",
                                 "-2147483649", "99999999999999999999"};

std::string RandomToken(Random& random)
{
    std::string token;
    switch (Below(random, 12)) {
        case 0: case 1: case 2: case 3: token = PlainDecimal(random); break;
        case 4: case 5: token = Printed(random); break;
        case 6: token = HexFloat(random); break;
        case 7: token = Pick(random, kWords); break;
        case 8: token = Pick(random, kMalformed); break;
        case 9: token = Pick(random, kExtremes); break;
        case 10: token = Digits(random, 20 + Below(random, 800)); break;
        default: {
            token = PlainDecimal(random);
            char odd = Pick(random, {"\0", "\x80", "\xff", ",", ";", "(", ")", "_"})[0];
            token.insert(Below(random, token.size() + 1), 1, odd);
        }
    }
    return token;
}

std::string RandomSeparator(Random& random)
{
    return Pick(random, {" ", " ", "\n", "\t", "\r\n", "\v", "\f", "  \n\t ", "\n\n", "", "\r"});
}

std::string RandomText(Random& random, size_t tokens)
{
    std::string text;
    for (size_t i = 0; i < tokens; ++i) text += RandomSeparator(random) + RandomToken(random);
    if (Below(random, 2)) text += RandomSeparator(random);
    return text;
}

bool SameBits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

std::string Show(const std::string& text) { return ::testing::PrintToString(text.substr(0, 200)); }

// The same text open twice: once for the scanner, once for fscanf.
struct TwoReaders {
    explicit TwoReaders(const std::string& text)
        : fast(Open(text), &std::fclose), slow(Open(text), &std::fclose)
    {
    }
    static std::FILE* Open(const std::string& text)
    {
        return OpenTextForReading(text);
    }
    std::unique_ptr<std::FILE, decltype(&std::fclose)> fast, slow;
};

// Reads numbers from `text` with the scanner and with fscanf side by side,
// until both report no number twice in a row. Every read must agree.
void CompareDoubleStreams(const std::string& text)
{
    TwoReaders readers(text);
    ASSERT_TRUE(readers.fast && readers.slow);
    NumberScanner scan(readers.fast.get());
    std::FILE* slow_in = readers.slow.get();
    int failures = 0;
    for (size_t read = 0; read < 4 * text.size() + 4 && failures < 2; ++read) {
        double fast = -1, slow = -1;
        bool fast_ok = scan.ReadDouble(&fast) == NumberScanner::Status::Ok;
        bool slow_ok = std::fscanf(slow_in, "%lg", &slow) == 1;
        ASSERT_EQ(fast_ok, slow_ok) << "read " << read << " of " << Show(text);
        if (fast_ok) {
            ASSERT_TRUE(SameBits(fast, slow)) << fast << " vs " << slow << " at read " << read << " of " << Show(text);
        }
        failures = fast_ok ? 0 : failures + 1;
    }
}

// Reads numbers with ReadDoubles in batches of random size, the batches'
// text converted as two halves from `split_bytes` on, and with fscanf
// side by side: a batch that ends short must end where fscanf fails.
void CompareBatchedStreams(const std::string& text, Random& random, size_t split_bytes, size_t max_batch)
{
    fitcore::SplitThresholdForTests split(split_bytes);
    TwoReaders readers(text);
    ASSERT_TRUE(readers.fast && readers.slow);
    NumberScanner scan(readers.fast.get());
    std::FILE* slow_in = readers.slow.get();
    std::vector<double> batch;
    int failures = 0;
    for (size_t reads = 0; reads < 4 * text.size() + 4 && failures < 2;) {
        batch.assign(1 + Below(random, Below(random, 2) ? 8 : max_batch), -1);
        size_t got = scan.ReadDoubles(batch.data(), batch.size());
        ASSERT_LE(got, batch.size());
        for (size_t i = 0; i <= got && i < batch.size(); ++i, ++reads) {
            double slow = -1;
            bool slow_ok = std::fscanf(slow_in, "%lg", &slow) == 1;
            ASSERT_EQ(i < got, slow_ok) << "read " << reads << " of " << Show(text);
            if (slow_ok) {
                ASSERT_TRUE(SameBits(batch[i], slow)) << batch[i] << " vs " << slow << " at read " << reads;
            }
        }
        failures = got == batch.size() ? 0 : got == 0 ? failures + 1 : 1;
    }
}

void CompareIntStreams(const std::string& text)
{
    TwoReaders readers(text);
    ASSERT_TRUE(readers.fast && readers.slow);
    NumberScanner scan(readers.fast.get());
    std::FILE* slow_in = readers.slow.get();
    int failures = 0;
    for (size_t read = 0; read < 4 * text.size() + 4 && failures < 2; ++read) {
        int32_t fast = -1;
        long slow = -1;
        NumberScanner::Status status = scan.ReadInt(&fast);
        bool slow_ok = std::fscanf(slow_in, "%ld", &slow) == 1;
        bool in_range = slow >= std::numeric_limits<int32_t>::min() && slow <= std::numeric_limits<int32_t>::max();
        NumberScanner::Status expected = !slow_ok ? NumberScanner::Status::NoNumber
                                         : in_range ? NumberScanner::Status::Ok
                                                    : NumberScanner::Status::OutOfRange;
        ASSERT_EQ(status, expected) << "read " << read << " of " << Show(text);
        if (status == NumberScanner::Status::Ok) {
            ASSERT_EQ(fast, slow);
        }
        // A failed "%ld" may consume text, so a number after it still reads alike.
        failures = slow_ok ? 0 : failures + 1;
        if (status == NumberScanner::Status::OutOfRange) break;  // "%ld" saturates past 64 bits
    }
}

TEST(NumberScannerProperty, TokensReadAsFscanfReadsThem)
{
    Random random(11);
    for (const char* word : kWords) CompareDoubleStreams(std::string(word) + " 1 ");
    for (const char* token : kMalformed) CompareDoubleStreams(std::string(token) + " 2 3");
    for (const char* token : kExtremes) CompareDoubleStreams(std::string(token) + "\n");
    for (size_t i = 0, n = PropertyCount(15000); i < n; ++i) CompareDoubleStreams(RandomText(random, 1 + Below(random, 4)));
}

// Batches over short texts with the two-thread split forced at every size,
// and over texts of several blocks with the usual threshold.
TEST(NumberScannerProperty, BatchesReadAsFscanfReadsThem)
{
    Random random(15);
    for (size_t i = 0, n = PropertyCount(6000); i < n; ++i)
        CompareBatchedStreams(RandomText(random, 1 + Below(random, 40)), random, Below(random, 64), 50);
    for (size_t i = 0, n = PropertyCount(4); i < n; ++i) {
        std::string text;
        while (text.size() < (size_t{3} << 20))
            text += RandomSeparator(random) + (Below(random, 2000) ? Printed(random) : RandomToken(random));
        CompareBatchedStreams(text, random, fitcore::kSplitMinimumBytes, 200000);
    }
}

TEST(NumberScannerProperty, IntegersReadAsFscanfReadsThem)
{
    Random random(12);
    for (size_t i = 0, n = PropertyCount(10000); i < n; ++i) {
        std::string text;
        for (size_t tokens = 1 + Below(random, 4); tokens > 0; --tokens)
            text += RandomSeparator(random) +
                    (Below(random, 3) ? std::string(Pick(random, {"", "-", "+"})) + Digits(random, Below(random, 12))
                                      : RandomToken(random));
        CompareIntStreams(text);
    }
}

struct Loaded {
    int result = 0;
    std::string printed;
    PCPFile file{};
};

Loaded Load(int (*loader)(const char*, PCPFile*), const std::string& path)
{
    Loaded loaded;
    loaded.printed = CaptureStdout([&] { loaded.result = loader(path.c_str(), &loaded.file); });
    return loaded;
}

// Loads `content` with LoadPCPFile and the fscanf reader; results, messages,
// header fields and every point read must be the same, bit for bit.
void CompareLoads(const TempDir& dir, const std::string& content)
{
    std::string path = dir.File("data.pcp");
    WriteFile(path, content);
    Loaded fast = Load(LoadPCPFile, path);
    Loaded slow = Load(ReferenceLoadPCPFile, path);
    EXPECT_EQ(fast.result, slow.result) << Show(content);
    EXPECT_EQ(fast.printed, slow.printed) << Show(content);
    EXPECT_EQ(fast.file.count, slow.file.count) << Show(content);
    EXPECT_EQ(fast.file.tag, slow.file.tag);
    EXPECT_EQ(fast.file.has_sigma, slow.file.has_sigma);
    EXPECT_EQ(fast.file.points == nullptr, slow.file.points == nullptr);
    if (fast.file.points != nullptr && slow.file.points != nullptr && fast.file.count == slow.file.count) {
        for (int32_t i = 0; i < fast.file.count; ++i) {
            const Point& a = fast.file.points[i];
            const Point& b = slow.file.points[i];
            ASSERT_TRUE(SameBits(a.x, b.x) && SameBits(a.y, b.y) && SameBits(a.sigma, b.sigma))
                << "point " << i << " of " << Show(content);
        }
    }
    DisposeStaticPCPFile(&fast.file);
    DisposeStaticPCPFile(&slow.file);
}

std::string RandomPcpFile(Random& random, size_t max_points)
{
    size_t points = Below(random, max_points + 1);
    bool sigma = Below(random, 2);
    std::string text;
    switch (Below(random, 8)) {
        case 0: text = RandomText(random, 3); break;                                      // any header
        case 1: text = std::to_string(points + Below(random, 5)) + " 0 " + (sigma ? "1" : "0"); break;  // too few points
        default: text = std::to_string(points) + " " + std::to_string(Below(random, 100) - 50) + (sigma ? " 1" : " 0");
    }
    // Mostly good numbers; a bad one now and then ends the reading there.
    for (size_t i = 0; i < points * (sigma ? 3 : 2); ++i)
        text += RandomSeparator(random) + (Below(random, 40) ? Printed(random) : RandomToken(random));
    return text + RandomSeparator(random);
}

TEST(NumberScannerProperty, RandomFilesLoadAsWithFscanf)
{
    Random random(13);
    TempDir dir(MemoryScratchBase());
    for (size_t i = 0, n = PropertyCount(1500); i < n; ++i) CompareLoads(dir, RandomPcpFile(random, 40));
}

TEST(NumberScannerProperty, FixedCasesLoadAsWithFscanf)
{
    TempDir dir(MemoryScratchBase());
    for (const char* content : {"", "3 7 0\n1 2\n3 4\n5 6\n", "2 0 1\r\n1 2 0.5\r\n3 4 0.25\r\n", "2 0 1 1 2 0.5 3 4 0.25",
                                "5 0 0\n1 2\n3 4\n5 6\n", "2 0 0\n1 2 3\n4 5 6\n", "0 0 0\n", "-1 0 0\n", "abc",
                                "3 0 +\n1 2\n3 4\n5 6\n", "2 1 0\n1e 2\n3 4\n", "2 0 0\n0x1p3 inf\n-nan 1e400\n",
                                "2 0 0\n1 2\n3 four\n", "99999999999 0 0\n1 2\n", "1 0 0\n1\0 2\n", "2 0 0 1 2 3",
                                "\xEF\xBB\xBF" "1 0 0\n1 2\n", " \n\t", "-", "1 -x"})
        CompareLoads(dir, content);
}

// Files of several blocks, read on two threads: every kind of number that
// "%lg" takes (hexadecimal, "inf", "nan", signs) now and then among the plain
// ones, and a point that does not convert near the end of some of them.
TEST(NumberScannerProperty, LargeFilesLoadAsWithFscanf)
{
    Random random(16);
    TempDir dir(MemoryScratchBase());
    for (size_t i = 0, n = PropertyCount(6); i < n; ++i) {
        bool sigma = Below(random, 2);
        size_t points = 150000 + Below(random, 100000);
        std::string content = std::to_string(points) + (sigma ? " 3 1\n" : " 3 0\n");
        size_t numbers = points * (sigma ? 3 : 2);
        size_t bad_at = Below(random, 2) ? numbers - Below(random, 5000) : numbers;
        for (size_t k = 0; k < numbers; ++k) {
            content += Pick(random, {" ", "\n", " ", "\r\n", "\t"});
            if (k == bad_at)
                content += Pick(random, kMalformed);
            else
                content += Below(random, 500) ? PlainDecimal(random) + "0" : Printed(random);
        }
        CompareLoads(dir, content + "\n");
    }
}

// Numbers that straddle the scanner's 1 MiB blocks, and a digit string
// longer than a whole block.
TEST(NumberScannerProperty, NumbersAcrossBlockBoundaries)
{
    Random random(14);
    TempDir dir(MemoryScratchBase());
    for (size_t i = 0, n = PropertyCount(6); i < n; ++i) {
        std::string content = "300000 0 1\n";
        while (content.size() < (size_t{1} << 20) + 300000)
            content += std::string(Pick(random, {" ", "\n", "\r\n", "\t"})) +
                       (Below(random, 50) ? Printed(random) : Digits(random, 20 + Below(random, 800)));
        CompareLoads(dir, content + "\n");
    }
    std::string points;
    size_t count = 2;
    for (; points.size() < (size_t{1} << 20) - 7; ++count) points += "1.5 2.5\n";
    points += "-" + Digits(random, 2500000) + ".25e-2500000 7\n8 9\n";
    CompareLoads(dir, std::to_string(count) + " 0 0\n" + points);
}

}  // namespace
