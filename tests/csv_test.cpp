#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "line_reader.h"
#include "memory_limit.h"
#include <fitcore/pcpfile.h>
#include "run_program.h"
#include "temp_dir.h"


namespace {

struct Import {
    int result;
    std::string out;  // what the import printed
    std::vector<Point> points;
    PCPFile record;
};

Import LoadCSVText(const std::string& content, PCPFile record = {})
{
    TempDir dir;
    WriteFile(dir.File("data.csv"), content);
    testing::internal::CaptureStdout();
    int result = LoadCSVFile(dir.File("data.csv").c_str(), &record);
    Import import{result, testing::internal::GetCapturedStdout(), {}, record};
    if (record.points != nullptr) import.points.assign(record.points, record.points + record.count);
    std::free(record.points);
    import.record.points = nullptr;
    return import;
}

std::string Xys(const std::vector<Point>& points)
{
    std::string text;
    for (const Point& p : points) text += std::to_string(p.x) + " " + std::to_string(p.y) + " " + std::to_string(p.sigma) + "\n";
    return text;
}

struct Xyz {
    double x, y, sigma;
};

std::string Xys(std::initializer_list<Xyz> expected)
{
    std::vector<Point> points;
    for (const Xyz& p : expected) points.push_back(Point{p.x, p.y, p.sigma, 0, 0});
    return Xys(points);
}

using FilePtr = std::unique_ptr<std::FILE, decltype(&std::fclose)>;

FilePtr Open(const std::string& path) { return FilePtr(std::fopen(path.c_str(), "rb"), &std::fclose); }

}  // namespace

TEST(CSVImport, ReadsPointsAndLeavesTagAndHasSigmaAsTheyWere)
{
    Import two = LoadCSVText("x,y\n1,2\n3,4\n");
    EXPECT_EQ(two.result, 0);
    EXPECT_EQ(two.out, "");
    EXPECT_EQ(Xys(two.points), Xys({{1, 2, 0}, {3, 4, 0}}));

    Import three = LoadCSVText("x,y,s\n1,2,0.5\n3,4,0.25\n", PCPFile{0, 7, 0, nullptr});
    EXPECT_EQ(Xys(three.points), Xys({{1, 2, 0.5}, {3, 4, 0.25}}));
    EXPECT_EQ(three.record.tag, 7);
    EXPECT_EQ(three.record.has_sigma, 0);
}

// Each line after the header: the point it gives, or none and a report.
TEST(CSVImport, FieldsFollowTheNumberAndCommaRules)
{
    struct Case {
        const char* line;
        bool good;
        Xyz point;
    };
    const Case cases[] = {
        {"1,2", true, {1, 2, 0}},          {"1,2,3,4", true, {1, 2, 3}},
        {"1, 2", true, {1, 2, 0}},         {" \t1,\t2, 3", true, {1, 2, 3}},
        {"1,2abc", true, {1, 2, 0}},       {"1,2 ", true, {1, 2, 0}},
        {"1e3,-2.5E-1", true, {1000, -0.25, 0}}, {"+1.5,0x10,.5", true, {1.5, 16, 0.5}},
        {"1 ,2", false, {}},               {"1,,3", false, {}},
        {"1,2,", false, {}},               {"1,2,x", false, {}},
        {"abc,1", false, {}},              {"1,x", false, {}},
        {"1e,2", false, {}},               {"12", false, {}},
        {"", false, {}},                   {",", false, {}},
        // A second comma counts wherever it is: it must then follow y.
        {"1,2 ,3", false, {}},             {"1,2x,3", false, {}},
        {"1,2,3 junk, more", true, {1, 2, 3}}, {"5e2x,1", false, {}},
        {"-1.25e-3,1234567890.5", true, {-1.25e-3, 1234567890.5, 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        Import import = LoadCSVText(std::string("x,y\n") + c.line + "\n");
        EXPECT_EQ(import.result, 0);
        EXPECT_EQ(import.out, c.good ? "" : "Bad input line: 2\n");
        EXPECT_EQ(Xys(import.points), c.good ? Xys({c.point}) : "");
    }
    // A NUL ends a line's text: what follows it on the line is not read.
    Import nul = LoadCSVText(std::string("x,y\n1,2\0,3\n4\0,5\n6,7\n", 19));
    EXPECT_EQ(Xys(nul.points), Xys({{1, 2, 0}, {6, 7, 0}}));
    EXPECT_EQ(nul.out, "Bad input line: 3\n");
    Import special = LoadCSVText("x,y\ninf,-nan\n");
    ASSERT_EQ(special.points.size(), 1u);
    EXPECT_TRUE(std::isinf(special.points[0].x));
    EXPECT_TRUE(std::isnan(special.points[0].y));
}

TEST(CSVImport, ABadLineTakesNoValuesFromTheLineBefore)
{
    Import import = LoadCSVText("x,y\n1,2,5\n3,\n4,5\n");
    EXPECT_EQ(import.out, "Bad input line: 3\n");
    EXPECT_EQ(Xys(import.points), Xys({{1, 2, 5}, {4, 5, 0}}));
}

TEST(CSVImport, LineNumbersCountTheHeaderAndBlankLines)
{
    Import import = LoadCSVText("x,y\n1,2\n3,4\n\n5,6\n\n");
    EXPECT_EQ(import.out, "Bad input line: 4\nBad input line: 6\n");
    EXPECT_EQ(import.points.size(), 3u);

    // CR LF, a lone CR and LF each end one line.
    for (const char* end : {"\r\n", "\r", "\n\r"}) {
        std::string text = std::string("x,y\r\n1,2") + end + "3,4,0.5" + end + end + "7,8";
        Import import = LoadCSVText(text);
        EXPECT_EQ(import.out, end == std::string("\n\r") ? "Bad input line: 3\nBad input line: 5\nBad input line: 6\n"
                                                         : "Bad input line: 4\n") << Xys(import.points);
        EXPECT_EQ(Xys(import.points), Xys({{1, 2, 0}, {3, 4, 0.5}, {7, 8, 0}}));
    }
}

// Files of many thousand lines are parsed in batches, each as two halves at
// once while the points of the batch before are taken: the points and the
// bad-line reports stay in line order across the halves and the batches
// (here two, the first of about two megabytes).
TEST(CSVImport, LongFilesKeepEveryPointAndReportInOrder)
{
    std::string content = "x,y\n";
    std::string expected_out;
    std::vector<Point> expected;
    for (int line = 2; line < 250000; ++line) {
        if (line % 997 == 0 || line == 8194 || line == 8195) {
            content += line % 2 ? "\n" : "x" + std::to_string(line) + ",1\n";
            expected_out += "Bad input line: " + std::to_string(line) + "\n";
        } else {
            content += std::to_string(line) + "," + std::to_string(line % 7) + ".5\n";
            expected.push_back(Point{double(line), line % 7 + 0.5, 0, 0, 0});
        }
    }
    Import import = LoadCSVText(content);
    EXPECT_EQ(import.result, 0);
    EXPECT_TRUE(import.out == expected_out);
    ASSERT_EQ(import.points.size(), expected.size());
    EXPECT_TRUE(Xys(import.points) == Xys(expected));
}

TEST(CSVImport, FilesWithoutDataLinesGiveAnEmptyArray)
{
    for (const char* content : {"", "x,y\n", "x,y", "1,2\n"}) {
        SCOPED_TRACE(content);
        TempDir dir;
        WriteFile(dir.File("data.csv"), content);
        PCPFile record{};
        EXPECT_EQ(LoadCSVFile(dir.File("data.csv").c_str(), &record), 0);
        EXPECT_EQ(record.count, 0);
        EXPECT_NE(record.points, nullptr);
        std::free(record.points);
    }
}

TEST(CSVImport, LastLineWithoutLineEndIsRead)
{
    EXPECT_EQ(Xys(LoadCSVText("x,y\n1,2\n3,45").points), Xys({{1, 2, 0}, {3, 45, 0}}));
}

// Only the first 1023 characters count. A field that is used and runs into
// the cut may have lost digits: the line is bad. A cut in a field that is not
// used loses nothing. The next line keeps its own line number.
TEST(CSVImport, LongLinesAreCutAndBadWhereAUsedFieldRunsIntoTheCut)
{
    auto padded = [](std::string line, size_t length, char fill) { return line + std::string(length - line.size(), fill); };
    const std::string blanks(1016, ' ');
    struct Case {
        std::string line;
        bool good;
        Xyz point;
    } cases[] = {
        {padded("7,8," + blanks + "123456", 2000, '9'), false, {}},       // sigma cut after 123
        {padded("7," + blanks + "12345678", 2000, '9'), false, {}},        // y cut
        {padded("7,8,0.5," + blanks, 2000, '9'), true, {7, 8, 0.5}},       // fourth field cut
        {padded("7,8,0.5", 2000, ' '), true, {7, 8, 0.5}},                 // only blanks lost
        {padded("7,8", 1023, '0'), true, {7, HUGE_VAL, 0}},                 // exactly 1023: whole (8e1020)
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line.substr(0, 8));
        Import import = LoadCSVText("x,y\n" + c.line + "\nbad\n3,4\n");
        EXPECT_EQ(import.out, c.good ? "Bad input line: 3\n" : "Bad input line: 2\nBad input line: 3\n");
        EXPECT_EQ(Xys(import.points), c.good ? Xys({c.point, {3, 4, 0}}) : Xys({{3, 4, 0}}));
    }
}

TEST(CSVImport, UnreadableFileIsReported)
{
    PCPFile record{0, 3, 1, nullptr};
    testing::internal::CaptureStdout();
    EXPECT_EQ(LoadCSVFile("/nonexistent/data.csv", &record), 1);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "Can't load /nonexistent/data.csv: No such file or directory.\n"
              "Can't open /nonexistent/data.csv for reading!\n");
    EXPECT_EQ(record.count, 0);
    EXPECT_EQ(record.tag, 3);
    EXPECT_EQ(record.points, nullptr);
}

// The process's own memory opens, but reading its first page fails without
// reaching the end of the input: the import must still end.
TEST(CSVImport, ReadErrorEndsTheImport)
{
    PCPFile record{};
    EXPECT_EQ(LoadCSVFile("/proc/self/mem", &record), 0);
    EXPECT_EQ(record.count, 0);
    std::free(record.points);
}

// A directory opens too, but is no data file: it must not pass for an empty one.
TEST(CSVImport, DirectoryIsRefusedAsUnopenable)
{
    TempDir dir;
    PCPFile record{};
    testing::internal::CaptureStdout();
    EXPECT_EQ(LoadCSVFile(dir.path().c_str(), &record), 1);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "Can't load " + dir.path() + ": Is a directory.\nCan't open " + dir.path() + " for reading!\n");
    EXPECT_EQ(record.points, nullptr);
}

TEST(CSVImport, LoadFileImportsOnlyLowerCaseCsvNames)
{
    TempDir dir;
    // Two names apart from their case too, for systems that ignore it.
    WriteFile(dir.File("lower.csv"), "x,y\n1,2\n");
    WriteFile(dir.File("upper.CSV"), "1 0 0\n5 6\n");
    for (auto [name, loading, x] : {std::tuple{"lower.csv", "CSV", 1.0}, {"upper.CSV", "PCP", 5.0}}) {
        PCPFile record{};
        std::string path = dir.File(name);
        testing::internal::CaptureStdout();
        EXPECT_EQ(LoadFile(path.c_str(), &record), 0);
        EXPECT_EQ(testing::internal::GetCapturedStdout(), std::string("Loading ") + loading + " file " + path + "...\n");
        ASSERT_EQ(record.count, 1);
        EXPECT_EQ(record.points[0].x, x);
        std::free(record.points);
    }
}

// Memory runs out while the points are collected: the import stops with 2
// at once, instead of going on without the points it could not keep (it
// never reaches the bad last line).
// With little room no second thread can be started and the lines are parsed
// on this thread alone; with more, as two halves on two threads.
TEST(CSVImportDeathTest, RunningOutOfMemoryStopsTheImport)
{
    if (!kAddressSpaceLimitWorks) GTEST_SKIP() << "memory limits don't reach the sanitizer's allocator";
    GTEST_FLAG_SET(death_test_style, "threadsafe");  // a fresh process, no freed memory to reuse
    TempDir dir;
    {
        std::string content = "x,y\n";
        for (int n = 0; n < 1'000'000; ++n) content += std::to_string(n) + ",1.5\n";
        WriteFile(dir.File("big.csv"), content + "bad\n");
    }
    for (size_t headroom : {size_t{4} << 20, size_t{32} << 20}) {
        auto load = [&] {
            PCPFile record{};
            int result;
            testing::internal::CaptureStdout();
            {
                AddressSpaceLimit limit(headroom);
                result = LoadCSVFile(dir.File("big.csv").c_str(), &record);
            }
            bool reason = testing::internal::GetCapturedStdout() ==
                          "Can't load " + dir.File("big.csv") + ": not enough memory.\n";
            std::_Exit(result == 2 && record.points == nullptr && reason ? 0 : 1);
        };
        EXPECT_EXIT(load(), testing::ExitedWithCode(0), "") << headroom;
    }
}

TEST(GetLine, CutsLongLinesAndRemovesLineEnds)
{
    TempDir dir;
    WriteFile(dir.File("lines"), "abcdef\n\nab\r\nxy");
    FilePtr in = Open(dir.File("lines"));
    char buffer[5];
    std::vector<std::string> lines;
    while (GetLine(buffer, sizeof buffer, in.get()) != nullptr) lines.push_back(buffer);
    EXPECT_EQ(lines, (std::vector<std::string>{"abcd", "", "ab\r", "xy"}));
}

// The line ends GetLine knows: each CR LF and each lone CR made a LF.
std::string WithLineFeedsOnly(const std::string& text)
{
    std::string result;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\r') {
            result += text[i];
        } else {
            result += '\n';
            if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
        }
    }
    return result;
}

// The fast reader must hand the import exactly the lines GetLine gives for
// the same text with LF line ends, whatever the block size: long lines, lines
// of exactly 1023 and 1024 characters, NUL bytes, CR LF and lone CRs (also
// astride a block edge), a last line without a line end; it skips a byte order
// mark at the start, and tells which lines were cut.
TEST(LineReader, GivesTheLinesOfGetLineForAnyLineEnd)
{
    const std::string body = "head\n\n" + std::string(1023, 'a') + "\n" + std::string(1024, 'b') + "\nx,y\r\n" +
                             std::string(5000, 'c') + "\r1,2\n" + std::string("ab\0cd\n", 6) + "after nul\r\r\n" +
                             std::string(1030, 'd') + "\r\n" + std::string(1, '\0') + std::string(1500, 'e') + "\n" +
                             "\r\r\xEF\xBB\xBFmid\rlast";
    TempDir dir;
    WriteFile(dir.File("lf"), WithLineFeedsOnly(body));
    WriteFile(dir.File("lines"), "\xEF\xBB\xBF" + body);
    std::vector<std::string> expected;
    std::vector<bool> expected_cut;
    {
        FilePtr in = Open(dir.File("lf"));
        char buffer[LineReader::kLineBufferSize];
        for (long at = 0; GetLine(buffer, sizeof buffer, in.get()) != nullptr; at = std::ftell(in.get())) {
            expected.push_back(buffer);
            long length = std::ftell(in.get()) - at - 1;  // without the line end
            expected_cut.push_back(length > static_cast<long>(LineReader::kLineBufferSize) - 1);
        }
    }
    ASSERT_EQ(expected.size(), 16u);
    EXPECT_EQ(expected[8], "after nul");
    for (size_t block : {size_t{1}, size_t{7}, size_t{1000}, LineReader::kDefaultBlockSize}) {
        SCOPED_TRACE(block);
        FilePtr in = Open(dir.File("lines"));
        LineReader reader(in.get(), block);
        std::vector<std::string> lines;
        std::vector<bool> cut;
        while (const char* line = reader.Next()) {
            lines.push_back(line);
            cut.push_back(reader.cut());
            // The length runs to the NUL that ends the line, past any NUL within it.
            EXPECT_EQ(line[reader.length()], '\0');
            EXPECT_LE(std::strlen(line), reader.length());
        }
        EXPECT_EQ(lines, expected);
        EXPECT_EQ(cut, expected_cut);
    }
}

TEST(CountChars, CountsEveryOccurrence)
{
    EXPECT_EQ(CountChars("a,b,,c,", ','), 4);
    EXPECT_EQ(CountChars("", ','), 0);
    EXPECT_EQ(CountChars("abc", '\0'), 0);
}

// The list writer must give byte for byte what SavePCPFile writes for the
// same points, holes in the list included.
TEST(SavePCPFileFromPointlist, WritesWhatSavePCPFileWrites)
{
    std::unique_ptr<PointlistSegment, decltype(&FreePointlist)> list(MakePointlist(), &FreePointlist);
    for (int n = 0; n < 230; ++n) AddPoint(list.get(), Point{n * 0.1, n / 3.0, n * 1e-7, 0, 0});
    for (int n = 0; n < 30; ++n) RemovePoint(list.get(), 100);
    std::unique_ptr<Point, decltype(&std::free)> array(PointlistToArray(list.get()), &std::free);
    TempDir dir;
    for (int has_sigma : {0, 1}) {
        PCPFile from_list{0, 42, has_sigma, nullptr};
        ASSERT_EQ(SavePCPFileFromPointlist(dir.File("list.pcp").c_str(), &from_list, list.get()), 0);
        EXPECT_EQ(from_list.count, 200);
        PCPFile from_array{200, 42, has_sigma, array.get()};
        ASSERT_EQ(SavePCPFile(dir.File("array.pcp").c_str(), &from_array), 0);
        std::string written = ReadFile(dir.File("list.pcp"));
        EXPECT_EQ(written, ReadFile(dir.File("array.pcp")));
        EXPECT_EQ(written.substr(0, written.find('\n')), "200 42 " + std::to_string(has_sigma));
    }
    PCPFile record{};
    testing::internal::CaptureStdout();
    EXPECT_EQ(SavePCPFileFromPointlist("/nonexistent/out.pcp", &record, list.get()), 1);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Can't open /nonexistent/out.pcp for writing!\n");
}
