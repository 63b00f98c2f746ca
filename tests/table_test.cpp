// Text tables: separators, comments, headers, quotes, missing values, bad
// lines, decimal commas, chosen columns, and the loader that tells a table
// from a PCP file.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include <fitcore/data_file.h>
#include <fitcore/table.h>
#include "files.h"
#include "table_stream.h"
#include "temp_dir.h"
#include "two_halves.h"

namespace {

std::string Number(double value)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.17g", value);
    return text;
}

// The table in one line: its names, rows, skipped and bad lines, or its error.
std::string Described(const fitcore::Table& table)
{
    if (!table.ok) return "error: " + table.error;
    std::string text;
    if (table.named) {
        text += "names=";
        for (const std::string& name : table.names) text += name + "|";
        text += " ";
    }
    for (std::size_t row = 0; row < table.rows; ++row) {
        for (double value : table.row(row)) text += Number(value) + ",";
        text.back() = ';';
    }
    if (table.skipped > 0) text += " skipped=" + std::to_string(table.skipped);
    for (long line : table.bad_lines) text += " bad=" + std::to_string(line);
    return text;
}

fitcore::Table ReadText(const std::string& text, const fitcore::TableOptions& options = {})
{
    TempDir dir;
    WriteFile(dir.File("t.dat"), text);
    return fitcore::read_table(dir.File("t.dat").c_str(), options);
}

struct Case {
    const char* what;
    std::string text;
    fitcore::TableOptions options;
    std::string expected;
};

TEST(ReadTable, ReadsWhatTheCommonWritersWrite)
{
    const Case cases[] = {
        {"blanks, names from the comment", "# x y sigma\n0 1 0.5\n2  3\t0.25\n", {}, "names=x|y|sigma| 0,1,0.5;2,3,0.25;"},
        {"tabs", "x\ty\n1\t2\n3\t4\n", {}, "names=x|y| 1,2;3,4;"},
        {"commas, header line", "a,b,c\n1,2,3\n", {}, "names=a|b|c| 1,2,3;"},
        {"semicolons with decimal commas", "x;y\n1,5;2,25\n-0,5;1e3\n", {}, "names=x|y| 1.5,2.25;-0.5,1000;"},
        {"semicolons with points", "1.5;2\n3;4\n", {}, "1.5,2;3,4;"},
        {"decimal comma asked for", "1,5 2,5\n", {"", ' ', true}, "1.5,2.5;"},
        {"delimiter given", "1|2\n3|4\n", {"", '|', false}, "1,2;3,4;"},
        {"CSV quotes", "\"t, s\",\"V \"\"in\"\"\"\n\"1\",2\n", {}, "names=t, s|V \"in\"| 1,2;"},
        {"comments, blanks, line ends", "% made by hand\r\n\r\n! note\r1 2\r\n  # 5 5\n3 4", {}, "1,2;3,4;"},
        {"byte order mark", "\xEF\xBB\xBFx y\n1 2\n", {}, "names=x|y| 1,2;"},
        {"comment of other width names nothing", "# x y sigma\n1 2\n", {}, "1,2;"},
        {"first line of numbers is data", "1 2 3\n4 5 6\n", {}, "1,2,3;4,5,6;"},
        {"signs, exponents, far from zero", "+1.5e3 -2\n1700000000.25 59000.01\n", {},
         "1500,-2;1700000000.25,59000.010000000002;"},
        {"extra fields ignored", "1 2 3 4\n4 5 6 y\n", {"1:2", 0, false}, "1,2;4,5;"},
        {"missing values skipped", "x,y\n1,2\n2,NA\n3,\n4,n/a\nnan,5\n6\n7,8\n", {}, "names=x|y| 1,2;7,8; skipped=5"},
        {"text is a bad line", "x y\n1 2\nfoo 3\n4 5q\n6 inf\n7 8\n", {}, "names=x|y| 1,2;7,8; bad=3 bad=4 bad=5"},
        {"a text field makes a header", "1 a 2\n3 4 5\n", {}, "names=1|a|2| 3,4,5;"},
        {"text in a column not chosen", "1 2 3\n3 b 4\n", {"1:3", 0, false}, "1,3;3,4;"},
        {"columns by number", "id,t,V,dV\n1,0,0.10,0.02\n2,1,1.05,0.02\n", {"2:3:4", 0, false},
         "names=t|V|dV| 0,0.10000000000000001,0.02;1,1.05,0.02;"},
        {"columns by name", "id,t,V,dV\n1,0,0.10,0.02\n", {"t:V", 0, false}, "names=t|V| 0,0.10000000000000001;"},
        {"several x columns", "1 2 3 4\n", {"1,2:4:3", 0, false}, "1,2,4,3;"},
        {"no usable point", "x y\na b\n1 NA\n", {},
         "error: it holds no usable point; the first line that gives none is line 2: a b"},
        {"header alone", "x,y\n", {}, "error: it holds no data"},
        {"comments alone", "# x y\n\n", {}, "error: it holds no data"},
        {"one column", "1\n2\n", {}, "error: it has only one column, and x and y need two"},
        {"unknown name", "t V\n1 2\n", {"t:W", 0, false}, "error: no column is named 'W' (the columns are t, V)"},
        {"name without header", "1 2\n", {"x:y", 0, false}, "error: it has no header to name column 'x'"},
        {"column beyond", "1 2\n", {"1:3", 0, false}, "error: there is no column 3: its first data line has 2 fields"},
        {"column twice", "1 2\n", {"1:1", 0, false}, "error: column 1 is chosen twice"},
    };
    for (const Case& c : cases) EXPECT_EQ(Described(ReadText(c.text, c.options)), c.expected) << c.what;
}

TEST(ParseColumns, ReadsNumbersNamesAndLists)
{
    const struct {
        const char* text;
        const char* expected;
    } cases[] = {
        {"1:2", "x=1 y=2"},         {"t:V:dV", "x=t y=V s=dV"},   {"1,2:3", "x=1,2 y=3"},
        {"1", "give the columns as X:Y or X:Y:S"}, {"1:2:3:4", "give the columns as X:Y or X:Y:S"},
        {"1::3", "a column is empty"}, {"0:1", "column 0 does not exist: columns are numbered from 1"},
    };
    for (const auto& c : cases) {
        fitcore::ColumnChoice choice = fitcore::parse_columns(c.text);
        auto ref = [](const fitcore::ColumnRef& r) { return r.number ? std::to_string(r.number) : r.name; };
        std::string got = choice.error;
        if (choice.ok) {
            got = "x=";
            for (const auto& x : choice.x) got += ref(x) + (&x == &choice.x.back() ? "" : ",");
            got += " y=" + ref(choice.y) + (choice.has_sigma ? " s=" + ref(choice.sigma) : "");
        }
        EXPECT_EQ(got, c.expected) << c.text;
    }
}

// A long table with every kind of line, read in one piece and in two halves
// at once, and after a prefix of every length: the same rows, the same line
// numbers.
TEST(ReadTable, HalvesAndPrefixesGiveTheSameTable)
{
    std::mt19937 random(7);
    std::string text = "# t value sigma\n1 2 3\n";
    std::string expected = "names=t|value|sigma| 1,2,3;";
    std::vector<long> bad;
    std::size_t skipped = 0;
    for (int line = 3; line < 60000; ++line) {
        double t = 1.6e9 + line * 0.25, value = std::uniform_real_distribution<double>(-1e3, 1e3)(random);
        switch (random() % 20) {
        case 0: text += Number(t) + " NA 1\n"; ++skipped; break;
        case 1: text += Number(t) + " x 1\r\n"; bad.push_back(line); break;
        case 2: text += "# remark\n"; break;
        default:
            text += Number(t) + "\t" + Number(value) + " 0.5\n";
            expected += Number(t) + "," + Number(value) + ",0.5;";
        }
    }
    expected += " skipped=" + std::to_string(skipped);
    for (long line : bad) expected += " bad=" + std::to_string(line);
    {
        fitcore::SplitThresholdForTests split(0);
        EXPECT_EQ(Described(ReadText(text)), expected);
    }
    {
        fitcore::SplitThresholdForTests alone(SIZE_MAX);
        EXPECT_EQ(Described(ReadText(text)), expected);
    }
    TempDir dir;
    for (std::size_t cut : {std::size_t{0}, std::size_t{3}, std::size_t{17}, text.size() / 2, text.size()}) {
        WriteFile(dir.File("rest"), text.substr(cut));
        std::FILE* rest = std::fopen(dir.File("rest").c_str(), "rb");
        ASSERT_NE(rest, nullptr);
        EXPECT_EQ(Described(fitcore::ReadTableAfter(std::string_view(text).substr(0, cut), rest, {})), expected)
            << "cut at " << cut;
        std::fclose(rest);
    }
}

TEST(TakePoints, MovesRowsOfEveryWidthIntoPoints)
{
    const struct {
        const char* columns;
        double x, y, sigma;
    } cases[] = {{"1:2", 1, 2, 0}, {"1:2:3", 1, 2, 3}, {"3,1,2:4", 3, 4, 0}, {"5,4,3,2:1:6", 5, 1, 6}};
    std::string text;
    for (int row = 0; row < 1000; ++row)
        for (int column = 1; column <= 6; ++column) text += std::to_string(column + 10 * row) + (column < 6 ? " " : "\n");
    for (const auto& c : cases) {
        fitcore::Table table = ReadText(text, {c.columns, 0, false});
        ASSERT_TRUE(table.ok) << table.error;
        Point* points = fitcore::take_points(table);
        ASSERT_NE(points, nullptr);
        for (int row = 0; row < 1000; row += 333) {
            const Point& point = points[row];
            const double shift = c.sigma == 0 ? 0 : 10.0 * row;
            EXPECT_EQ(point.x, c.x + 10 * row) << c.columns;
            EXPECT_EQ(point.y, c.y + 10 * row) << c.columns;
            EXPECT_EQ(point.sigma, c.sigma + shift) << c.columns;
            EXPECT_EQ(point.fit, 0);
        }
        std::free(points);
    }
}

// What the loader takes each start for, and what it prints after its loading line.
TEST(LoadDataFile, TellsPCPFromATableByTheStart)
{
    using Result = fitcore::DataFileResult;
    const struct {
        const char* name;
        std::string text;
        fitcore::TableOptions options;
        Result result;
        std::string loading;  // the kind the loading line names
        std::string after;    // what follows it, as far as it is given
        int count;
    } cases[] = {
        {"a.pcp", "2 0 0\n1 2\n3 4\n", {}, Result::Loaded, "PCP file", "", 2},
        {"a.dat", "", {}, Result::Loaded, "PCP file", "", 0},
        {"a.dat", "1 2 3\n4 5 6\n", {}, Result::Loaded, "PCP file", "", 1},
        {"a.dat", "0.0 1\n1.0 3\n", {}, Result::Loaded, "table", "", 2},
        {"a.dat", "x y\n1 2\n1 NA\n3 4\n", {}, Result::Loaded, "table", "Skipped 1 rows with missing values\n", 2},
        {"a.dat", "x y\n1 2\nz 3\n", {}, Result::Loaded, "table", "Bad input line: 3\n", 1},
        {"a.dat", "x y\nz 3\n", {}, Result::Failed, "table", "Bad input line: 2\nCan't load ", 0},
        {"a.pcp", "2 0 0\n1 2\n", {"1:2", 0, false}, Result::NotATable, "", "", 0},
        {"A.CSV", "x,y\n1,2\n", {}, Result::Loaded, "CSV file", "", 1},
        {"a.csv", "x;y\n1,5;2\n", {}, Result::Loaded, "CSV file", "", 1},
    };
    for (const auto& c : cases) {
        TempDir dir;
        const std::string path = dir.File(c.name);
        WriteFile(path, c.text);
        PCPFile record{};
        fitcore::DataFileInfo info;
        testing::internal::CaptureStdout();
        Result result = fitcore::LoadDataFile(path.c_str(), c.options, &record, &info);
        std::string out = testing::internal::GetCapturedStdout();
        EXPECT_EQ(result, c.result) << c.text;
        std::string loading = c.loading.empty() ? "" : "Loading " + c.loading + " " + path + "...\n";
        EXPECT_EQ(out.substr(0, loading.size() + c.after.size()), loading + c.after) << c.text;
        if (result == Result::Loaded) {
            EXPECT_EQ(record.count, c.count) << c.text;
        }
        std::free(record.points);
    }
}

}  // namespace
