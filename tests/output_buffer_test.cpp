// output_buffer_test.cpp - ordering with printf, large texts, failed writes, two-thread tables.
#include <fitcore/output_buffer.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <string>

#include "capture_stdout.h"
#include <fitcore/number_format.h>
#include "run_program.h"
#include "temp_dir.h"
#include "two_halves.h"

using namespace fitcore;


namespace {

// Row i as text: "i<TAB>i*0.1 in %e<LF>", of varying length.
char* FormatRow(char* out, size_t row, const void* context)
{
    const std::string* prefix = static_cast<const std::string*>(context);
    out = std::copy(prefix->begin(), prefix->end(), out);
    out = AppendInteger(out, static_cast<int64_t>(row));
    *out++ = '\t';
    out = AppendExponential(out, static_cast<double>(row) * 0.1);
    *out++ = '\n';
    return out;
}

std::string ExpectedRows(const std::string& prefix, size_t count)
{
    std::string text;
    char line[128];
    for (size_t row = 0; row < count; ++row) {
        std::snprintf(line, sizeof line, "%s%zu\t%e\n", prefix.c_str(), row, static_cast<double>(row) * 0.1);
        text += line;
    }
    return text;
}

// The rows as AppendRows writes them with room for `row_room` bytes per row
// (fewer rows per range the more room), split from `split_bytes` of room on.
std::string Rows(size_t count, size_t row_room, size_t capacity, size_t split_bytes)
{
    static const std::string prefix = "r";
    SplitThresholdForTests split(split_bytes);
    return CaptureStdout([&] {
        OutputBuffer out(stdout, capacity);
        AppendRows(out, RowTable{count, row_room, FormatRow, &prefix});
    });
}

constexpr size_t kRowRoom = 41;  // "r", the row number and the %e text, at most

TEST(OutputBuffer, StaysInOrderWithPrintfAroundIt)
{
    std::string text = CaptureStdout([] {
        std::printf("before\n");
        {
            OutputBuffer out(stdout, 16);
            out.Append("abc", 3);
            out.Printf("%d-%s|", 42, "a text longer than the sixteen-byte buffer");
            out.Append("0123456789abcdefXYZ", 19);  // larger than the buffer: written directly
            char* at = out.Reserve(8);
            out.Commit(AppendGeneral(at, 0.5));
            out.Flush();
            std::printf("|between|");
            out.Append("after", 5);
        }
        std::printf("|end\n");
    });
    EXPECT_EQ(text, "before\nabc42-a text longer than the sixteen-byte buffer|0123456789abcdefXYZ0.5|between|after|end\n");
}

TEST(OutputBuffer, FailedWriteIsReportedAndLaterTextDropped)
{
    std::FILE* full = std::fopen("/dev/full", "w");
    if (full == nullptr) GTEST_SKIP() << "/dev/full is not available";
    std::setvbuf(full, nullptr, _IONBF, 0);
    {
        OutputBuffer out(full, 64);
        out.Append("some text", 9);
        EXPECT_FALSE(out.Flush());
        EXPECT_TRUE(out.failed());
        EXPECT_EQ(out.error(), ENOSPC);  // the failing write's own reason, kept
        out.Append("more", 4);
        EXPECT_FALSE(out.Flush());
        EXPECT_EQ(out.error(), ENOSPC);
    }
    std::fclose(full);
}

TEST(OutputBuffer, RowsAreTheSameOnOneOrTwoThreads)
{
    for (size_t count : {0u, 1u, 7u, 1000u, 4099u}) {
        std::string expected = ExpectedRows("r", count);
        EXPECT_EQ(Rows(count, kRowRoom, 1 << 20, SIZE_MAX), expected) << count << " rows on one thread";
        // Every range split; ranges of 2, 8 or all rows and a tiny buffer:
        // many ranges, joins and flushes.
        for (size_t row_room : {size_t{16} << 20, size_t{4} << 20, kRowRoom})
            EXPECT_EQ(Rows(count, row_room, 100, 0), expected) << count << " rows with room for " << row_room;
    }
}

TEST(OutputBuffer, LongTableUsesTheDefaultThresholdAndRanges)
{
    size_t count = 900000;  // two ranges of rows
    EXPECT_EQ(Rows(count, kRowRoom, OutputBuffer::kDefaultCapacity, kSplitMinimumBytes), ExpectedRows("r", count));
}

TEST(OutputBuffer, RowsToAFileMatchFprintf)
{
    TempDir dir;
    std::string path = dir.File("rows.txt");
    std::FILE* file = std::fopen(path.c_str(), "wb");
    ASSERT_NE(file, nullptr);
    std::fprintf(file, "header\n");
    const std::string prefix = "p";
    {
        SplitThresholdForTests split(0);
        OutputBuffer out(file);
        AppendRows(out, RowTable{5000, 48, FormatRow, &prefix});
    }
    std::fclose(file);
    EXPECT_EQ(ReadFile(path), "header\n" + ExpectedRows("p", 5000));
}

}  // namespace
