// The PCPFile record: loading by name, the PCP reader's tolerance and refusals, saving.
#include <fitcore/pcpfile.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>

#include "memory_limit.h"
#include "run_program.h"
#include "temp_dir.h"

namespace {

struct FileDeleter {
    void operator()(PCPFile* file) const { DisposePCPFile(file); }
};
using FileHandle = std::unique_ptr<PCPFile, FileDeleter>;

struct Loaded {
    int result;
    std::string output;
    FileHandle file;
};

Loaded LoadText(const TempDir& dir, const std::string& text, const std::string& name = "data.pcp")
{
    WriteFile(dir.File(name), text);
    FileHandle file(InitPCPFile());
    testing::internal::CaptureStdout();
    int result = LoadPCPFile(dir.File(name).c_str(), file.get());
    return {result, testing::internal::GetCapturedStdout(), std::move(file)};
}

void ExpectPoint(const Point& point, double x, double y, double sigma)
{
    EXPECT_EQ(point.x, x);
    EXPECT_EQ(point.y, y);
    EXPECT_EQ(point.sigma, sigma);
    EXPECT_EQ(point.fit, 0);
    EXPECT_EQ(point.weight, 0);
}

class PcpFileTest : public testing::Test {
protected:
    TempDir dir;
};

TEST_F(PcpFileTest, LoadsHeaderAndPointsAndSavesThemBack)
{
    Loaded loaded = LoadText(dir, "3 7 0\n1 2\n3 4\n5 6\n");
    ASSERT_EQ(loaded.result, 0);
    EXPECT_EQ(loaded.output, "");
    EXPECT_EQ(loaded.file->count, 3);
    EXPECT_EQ(loaded.file->tag, 7);
    EXPECT_EQ(loaded.file->has_sigma, 0);
    ExpectPoint(loaded.file->points[0], 1, 2, 0);
    ExpectPoint(loaded.file->points[2], 5, 6, 0);

    ASSERT_EQ(SavePCPFile(dir.File("out.pcp").c_str(), loaded.file.get()), 0);
    EXPECT_EQ(ReadFile(dir.File("out.pcp")), "3 7 0\n1 2\n3 4\n5 6\n");
}

TEST_F(PcpFileTest, SigmaColumnReadsTheSameOnOneLineAsOnMany)
{
    for (const char* text : {"2 0 1\n1 2 0.5\n3 4 0.25\n", "2 0 1 1 2 0.5 3 4 0.25"}) {
        Loaded loaded = LoadText(dir, text);
        ASSERT_EQ(loaded.result, 0) << text;
        ASSERT_EQ(loaded.file->count, 2) << text;
        ExpectPoint(loaded.file->points[0], 1, 2, 0.5);
        ExpectPoint(loaded.file->points[1], 3, 4, 0.25);
        ASSERT_EQ(SavePCPFile(dir.File("out.pcp").c_str(), loaded.file.get()), 0);
        EXPECT_EQ(ReadFile(dir.File("out.pcp")), "2 0 1\n1 2 0.5\n3 4 0.25\n");
    }
}

TEST_F(PcpFileTest, WindowsLineEndsAndTabsAreWhiteSpace)
{
    Loaded loaded = LoadText(dir, "2\t0\t0\r\n1.5\t-2\r\n3e2\t4\r\n");
    ASSERT_EQ(loaded.result, 0);
    ASSERT_EQ(loaded.file->count, 2);
    ExpectPoint(loaded.file->points[1], 300, 4, 0);
}

TEST_F(PcpFileTest, TwoColumnHeaderOverThreeColumnLinesShiftsTheValues)
{
    Loaded loaded = LoadText(dir, "2 0 0\n1 2 3\n4 5 6\n");
    ASSERT_EQ(loaded.result, 0);
    ExpectPoint(loaded.file->points[0], 1, 2, 0);
    ExpectPoint(loaded.file->points[1], 3, 4, 0);
}

TEST_F(PcpFileTest, FileEndingEarlyWarnsAndKeepsThePointsRead)
{
    Loaded loaded = LoadText(dir, "5 0 0\n1 2\n3 4\n5 6\n");
    EXPECT_EQ(loaded.result, 0);
    EXPECT_EQ(loaded.output, "Warning: file may be corrupted (3 of 5 points read).");
    EXPECT_EQ(loaded.file->count, 3);
}

TEST_F(PcpFileTest, PointThatDoesNotConvertEndsReadingWithTheWarning)
{
    struct Case {
        const char* text;
        int32_t read;
        const char* warning;
    } cases[] = {
        {"3 0 0\n1 2\n3 x\n5 6\n", 1, "Warning: file may be corrupted (1 of 3 points read)."},
        {"2 0 0\n1 2\n3", 1, "Warning: file may be corrupted (1 of 2 points read)."},
        {"2 0 1\n1 2 0.1\n3 4\n", 1, "Warning: file may be corrupted (1 of 2 points read)."},
        {"2 0 0\nabc\n", 0, "Warning: file may be corrupted (0 of 2 points read)."},
        {"4 0 0\n1 2\n\x01\x02\x03", 1, "Warning: file may be corrupted (1 of 4 points read)."},
    };
    for (const Case& c : cases) {
        Loaded loaded = LoadText(dir, c.text);
        EXPECT_EQ(loaded.result, 0) << c.text;
        EXPECT_EQ(loaded.output, c.warning) << c.text;
        EXPECT_EQ(loaded.file->count, c.read) << c.text;
        // The unread point is zero, not left over from the broken line.
        if (c.read == 1) ExpectPoint(loaded.file->points[1], 0, 0, 0);
    }
}

// An empty file is zero points; text that is no header is refused, and so
// is a header field that no point array can have. Each refusal says why.
TEST_F(PcpFileTest, HeadersThatDoNotConvertAreRefusedWithTheirReason)
{
    const std::string path = dir.File("data.pcp");
    const std::string no_header = "Can't load " + path + ": it does not start with a PCP header of three whole numbers.\n";
    auto out_of_range = [&](const char* field) {
        return "Can't load " + path + ": the " + field + " in its header is out of range.\n";
    };
    struct Case {
        const char* text;
        int result;
        std::string output;
        int32_t count;
    } cases[] = {
        {"", 0, "", 0},
        {"   \n\t", 0, "", 0},
        {"0 0 0\n", 0, "", 0},
        {"\xEF\xBB\xBF", 0, "", 0},
        {"\xEF\xBB\xBF" "2 0 0\n1 2\n3 4\n", 0, "", 2},
        {"hello 3 4\n", 1, no_header, 0},
        {"# points\n3 0 0\n", 1, no_header, 0},
        {"3 x 0\n1 2\n", 1, no_header, 3},
        {"\x89PNG\r\n\x1a\n", 1, no_header, 0},
        {"\xEF\xBB\xBF\xEF\xBB\xBF" "1 0 0\n", 1, no_header, 0},
        {"-", 1, no_header, 0},
        {"-1 0 0\n", 2, "Can't load " + path + ": the point count -1 is negative.\n", -1},
        {"2147483648 0 0\n", 2, out_of_range("point count"), 0},
        {"-99999999999 0 0\n", 2, out_of_range("point count"), 0},
        {"1 99999999999 0\n1 2\n", 2, out_of_range("tag"), 1},
        {"1 0 -99999999999\n1 2\n", 2, out_of_range("has_sigma"), 1},
    };
    for (const Case& c : cases) {
        Loaded loaded = LoadText(dir, c.text);
        EXPECT_EQ(loaded.result, c.result) << c.text;
        EXPECT_EQ(loaded.output, c.output) << c.text;
        EXPECT_EQ(loaded.file->count, c.count) << c.text;
        EXPECT_EQ(loaded.file->points != nullptr, c.result == 0) << c.text;
    }
    Loaded zero = LoadText(dir, "0 5 1\n");
    ASSERT_EQ(SavePCPFile(dir.File("out.pcp").c_str(), zero.file.get()), 0);
    EXPECT_EQ(ReadFile(dir.File("out.pcp")), "0 5 1\n");
}

TEST_F(PcpFileTest, CountFarBeyondMemoryIsRefused)
{
    Loaded loaded = LoadText(dir, "2147483647 0 0\n1 2\n");
    if (loaded.result == 0) {  // the machine may lend the address space lazily
        EXPECT_EQ(loaded.file->count, 1);
        EXPECT_EQ(loaded.output, "Warning: file may be corrupted (1 of 2147483647 points read).");
    } else {
        EXPECT_EQ(loaded.result, 2);
        EXPECT_EQ(loaded.output, "Can't load " + dir.File("data.pcp") + ": not enough memory for 2147483647 points.\n");
        EXPECT_EQ(loaded.file->points, nullptr);
    }
}

// A single number of 64 MiB with room for less: the scanner's buffer can't
// grow, and the load ends with 2 and a reason instead of an abort.
TEST(PcpFileDeathTest, RunningOutOfMemoryInALongNumberIsResultTwo)
{
    if (!kAddressSpaceLimitWorks) GTEST_SKIP() << "memory limits don't reach the sanitizer's allocator";
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    TempDir dir;
    WriteFile(dir.File("long.pcp"), "1 0 0\n1" + std::string(size_t{64} << 20, '0') + " 2\n");
    auto load = [&] {
        PCPFile record{};
        int result;
        testing::internal::CaptureStdout();
        {
            AddressSpaceLimit limit(size_t{48} << 20);
            result = LoadPCPFile(dir.File("long.pcp").c_str(), &record);
        }
        bool reason = testing::internal::GetCapturedStdout() ==
                      "Can't load " + dir.File("long.pcp") + ": not enough memory.\n";
        std::_Exit(result == 2 && record.points == nullptr && reason ? 0 : 1);
    };
    EXPECT_EXIT(load(), testing::ExitedWithCode(0), "");
}

// Six significant digits where they keep the value, as many as it takes where not.
TEST_F(PcpFileTest, SavedValuesReadBackExactly)
{
    Loaded loaded = LoadText(dir, "2 0 0\n3.14159265 0.0333333333\n59000.01 2.5\n");
    ASSERT_EQ(SavePCPFile(dir.File("out.pcp").c_str(), loaded.file.get()), 0);
    EXPECT_EQ(ReadFile(dir.File("out.pcp")), "2 0 0\n3.14159265 0.0333333333\n59000.01 2.5\n");
    Loaded again = LoadText(dir, ReadFile(dir.File("out.pcp")));
    EXPECT_EQ(again.file->points[1].x, 59000.01);
}

TEST_F(PcpFileTest, MissingFileIsReportedAndLeavesTheRecordEmpty)
{
    FileHandle file(InitPCPFile());
    std::string path = dir.File("missing.pcp");
    testing::internal::CaptureStdout();
    EXPECT_EQ(LoadPCPFile(path.c_str(), file.get()), 1);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "Can't load " + path + ": No such file or directory.\nCan't open " + path + " for reading!\n");
    EXPECT_EQ(file->count, 0);
    EXPECT_EQ(file->points, nullptr);

    // A directory opens, but reading it fails at once: not an empty data file.
    testing::internal::CaptureStdout();
    EXPECT_EQ(LoadFile(dir.path().c_str(), file.get()), 1);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "Loading PCP file " + dir.path() + "...\nCan't load " + dir.path() + ": Is a directory.\nCan't open " +
                  dir.path() + " for reading!\n");
    EXPECT_EQ(file->points, nullptr);
}

TEST_F(PcpFileTest, SaveFailuresAreReported)
{
    Loaded loaded = LoadText(dir, "1 0 0\n1 2\n");
    std::string unopenable = dir.File("no/such/dir.pcp");
    testing::internal::CaptureStdout();
    EXPECT_EQ(SavePCPFile(unopenable.c_str(), loaded.file.get()), 1);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Can't open " + unopenable + " for writing!\n");

    // A full disk is not a saved file.
    testing::internal::CaptureStdout();
    EXPECT_EQ(SavePCPFile("/dev/full", loaded.file.get()), 1);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Can't write /dev/full completely!\n");
}

TEST_F(PcpFileTest, LoadFileChoosesTheReaderByTheLowerCaseCsvEnding)
{
    struct Case {
        const char* name;
        const char* kind;
    } cases[] = {{"data.csv", "CSV"}, {".csv", "CSV"},      {"data.CSV", "PCP"},
                 {"data.csv.txt", "PCP"}, {"data", "PCP"}, {"csv", "PCP"}};
    for (const Case& c : cases) {
        std::string path = dir.File(c.name);
        WriteFile(path, "x,y\n");
        FileHandle file(InitPCPFile());
        testing::internal::CaptureStdout();
        LoadFile(path.c_str(), file.get());
        std::string output = testing::internal::GetCapturedStdout();
        EXPECT_EQ(output.rfind(std::string("Loading ") + c.kind + " file " + path + "...\n", 0), 0u)
            << output;
    }
}

TEST(PcpFileRecord, DisposeIsSafeOnNullAndTwice)
{
    DisposePCPFile(nullptr);
    DisposeStaticPCPFile(nullptr);
    PCPFile* file = InitPCPFile();
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(file->count, 0);
    EXPECT_EQ(file->points, nullptr);
    file->count = 2;
    file->points = static_cast<Point*>(std::calloc(2, sizeof(Point)));
    DisposeStaticPCPFile(file);
    DisposeStaticPCPFile(file);
    EXPECT_EQ(file->points, nullptr);
    EXPECT_EQ(file->count, 2);
    DisposePCPFile(file);
}

}  // namespace
