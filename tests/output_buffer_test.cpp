// output_buffer_test.cpp - ordering with printf, large texts, failed writes, two-thread tables.
#include <fitcore/output_buffer.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "capture_stdout.h"
#include <fitcore/number_format.h>
#include "run_program.h"
#include "temp_dir.h"

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

std::string Rows(size_t count, size_t parallel_threshold, size_t block_rows, size_t capacity)
{
    static const std::string prefix = "r";
    return CaptureStdout([&] {
        OutputBuffer out(stdout, capacity);
        AppendRows(out, RowTable{count, prefix.size() + 40, FormatRow, &prefix, parallel_threshold, block_rows});
    });
}

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
        out.Append("more", 4);
        EXPECT_FALSE(out.Flush());
    }
    std::fclose(full);
}

TEST(OutputBuffer, RowsAreTheSameOnOneOrTwoThreads)
{
    for (size_t count : {0u, 1u, 7u, 1000u, 4099u}) {
        std::string expected = ExpectedRows("r", count);
        EXPECT_EQ(Rows(count, kParallelRowThreshold, 0, 1 << 20), expected) << count << " rows on one thread";
        // Tiny blocks and a tiny buffer: many slot reuses, waits and flushes.
        for (size_t block_rows : {1u, 3u, 64u})
            EXPECT_EQ(Rows(count, 0, block_rows, 100), expected) << count << " rows in blocks of " << block_rows;
    }
}

TEST(OutputBuffer, LongTableUsesTheDefaultThresholdAndBlocks)
{
    size_t count = kParallelRowThreshold + 12345;
    EXPECT_EQ(Rows(count, kParallelRowThreshold, 0, OutputBuffer::kDefaultCapacity), ExpectedRows("r", count));
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
        OutputBuffer out(file);
        AppendRows(out, RowTable{5000, 48, FormatRow, &prefix, 0, 100});
    }
    std::fclose(file);
    EXPECT_EQ(ReadFile(path), "header\n" + ExpectedRows("p", 5000));
}

}  // namespace
