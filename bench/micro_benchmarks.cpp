// micro_benchmarks - the hot loops one by one: number parsing, table
// formatting and the polynomial power sums, each beside its straightforward
// version on the same data.
#include <benchmark/benchmark.h>

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include <fitcore/number_format.h>
#include "number_scanner.h"
#include <fitcore/output_buffer.h>
#include "power_sums.h"
#include "reference.h"
#include "two_halves.h"

using namespace fitcore;

namespace {

constexpr size_t kNumbers = 200000;

const std::string& NumberText()
{
    static const std::string text = [] {
        std::mt19937_64 random(5);
        std::normal_distribution<double> noise(0.0, 1.0);
        std::string result;
        char number[32];
        for (size_t i = 0; i < kNumbers; ++i) {
            std::snprintf(number, sizeof number, i % 2 ? "%.9g\n" : "%.9g ", 1.5 + noise(random) * 3.7);
            result += number;
        }
        return result;
    }();
    return text;
}

std::vector<Point> Points(size_t count)
{
    std::mt19937_64 random(6);
    std::normal_distribution<double> noise(0.0, 0.2);
    std::vector<Point> points(count);
    for (size_t i = 0; i < count; ++i) {
        double x = 10.0 * static_cast<double>(i) / static_cast<double>(count);
        points[i] = {x, 1.5 + 2.3 * x + noise(random), 0.1, 1.5 + 2.3 * x, 0};
    }
    return points;
}

std::FILE* OpenText(const std::string& text) { return fmemopen(const_cast<char*>(text.data()), text.size(), "r"); }

void ParseScanner(benchmark::State& state)
{
    for (auto _ : state) {
        std::FILE* in = OpenText(NumberText());
        NumberScanner scan(in);
        double value, total = 0;
        while (scan.ReadDouble(&value) == NumberScanner::Status::Ok) total += value;
        benchmark::DoNotOptimize(total);
        std::fclose(in);
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * kNumbers));
}
BENCHMARK(ParseScanner)->Unit(benchmark::kMillisecond);

void ParseFscanf(benchmark::State& state)
{
    for (auto _ : state) {
        std::FILE* in = OpenText(NumberText());
        double value, total = 0;
        while (std::fscanf(in, "%lg", &value) == 1) total += value;
        benchmark::DoNotOptimize(total);
        std::fclose(in);
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * kNumbers));
}
BENCHMARK(ParseFscanf)->Unit(benchmark::kMillisecond);

void ParseStrtod(benchmark::State& state)
{
    for (auto _ : state) {
        const char* at = NumberText().c_str();
        char* stop;
        double total = 0;
        for (double value; (value = std::strtod(at, &stop)), stop != at; at = stop) total += value;
        benchmark::DoNotOptimize(total);
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * kNumbers));
}
BENCHMARK(ParseStrtod)->Unit(benchmark::kMillisecond);

void ParseFromCharsBare(benchmark::State& state)
{
    const std::string& text = NumberText();
    for (auto _ : state) {
        const char* at = text.data();
        const char* end = at + text.size();
        double total = 0, value;
        while (at < end) {
            at = std::from_chars(at, end, value).ptr;
            total += value;
            while (at < end && (*at == ' ' || *at == '\n')) ++at;
        }
        benchmark::DoNotOptimize(total);
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * kNumbers));
}
BENCHMARK(ParseFromCharsBare)->Unit(benchmark::kMillisecond);

// One line-table row per point: "%d\t%1.6e\t%1.6e\t%1.6e\t%1.6e\n".
char* FormatRow(char* out, size_t row, const void* context)
{
    const Point& point = static_cast<const Point*>(context)[row];
    out = fitcore::AppendInteger(out, static_cast<int64_t>(row) + 1);
    for (double value : {point.x, point.y, point.fit, point.y - point.fit}) {
        *out++ = '\t';
        out = fitcore::AppendExponential(out, value, 6, 1);
    }
    *out++ = '\n';
    return out;
}

std::FILE* DevNull()
{
    static std::FILE* null = std::fopen("/dev/null", "w");
    return null;
}

void TableNumberFormat(benchmark::State& state)
{
    std::vector<Point> points = Points(kNumbers / 4);
    fitcore::SplitThresholdForTests split(state.range(0) ? fitcore::kSplitMinimumBytes : SIZE_MAX);  // 1: two threads
    for (auto _ : state) {
        fitcore::OutputBuffer out(DevNull());
        fitcore::AppendRows(out, fitcore::RowTable{points.size(), 128, FormatRow, points.data()});
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * points.size() * 4));
}
BENCHMARK(TableNumberFormat)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

void TablePrintf(benchmark::State& state)
{
    std::vector<Point> points = Points(kNumbers / 4);
    for (auto _ : state)
        for (size_t i = 0; i < points.size(); ++i)
            std::fprintf(DevNull(), "%d\t%1.6e\t%1.6e\t%1.6e\t%1.6e\n", static_cast<int>(i) + 1, points[i].x, points[i].y,
                         points[i].fit, points[i].y - points[i].fit);
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * points.size() * 4));
}
BENCHMARK(TablePrintf)->Unit(benchmark::kMillisecond);

void TableToCharsBare(benchmark::State& state)
{
    std::vector<Point> points = Points(kNumbers / 4);
    std::vector<char> buffer(128 * points.size());
    for (auto _ : state) {
        char* at = buffer.data();
        for (size_t i = 0; i < points.size(); ++i) {
            at = std::to_chars(at, at + 16, static_cast<int>(i) + 1).ptr;
            for (double value : {points[i].x, points[i].y, points[i].fit, points[i].y - points[i].fit}) {
                *at++ = '\t';
                at = std::to_chars(at, at + 32, value, std::chars_format::scientific, 6).ptr;
            }
            *at++ = '\n';
        }
        std::fwrite(buffer.data(), 1, static_cast<size_t>(at - buffer.data()), DevNull());
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * points.size() * 4));
}
BENCHMARK(TableToCharsBare)->Unit(benchmark::kMillisecond);

constexpr size_t kSumPoints = 100000;

void PowerSumsOnePass(benchmark::State& state)
{
    std::vector<Point> points = Points(kSumPoints);
    fitcore::SplitThresholdForTests split(state.range(0) ? fitcore::kSplitMinimumBytes : SIZE_MAX);  // 1: two threads
    double sum_x[2 * kMaxPowerSumOrder + 1], sum_xy[kMaxPowerSumOrder + 1];
    for (auto _ : state) {
        ComputePowerSums(points.data(), static_cast<int32_t>(points.size()), 9, sum_x, sum_xy);
        benchmark::DoNotOptimize(sum_x);
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * kSumPoints));
}
BENCHMARK(PowerSumsOnePass)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

void PowerSumsPassPerEntry(benchmark::State& state)
{
    std::vector<Point> points = Points(kSumPoints);
    double a[100], b[10];
    for (auto _ : state) {
        ReferenceNormalEquations(points.data(), static_cast<int32_t>(points.size()), 9, a, b);
        benchmark::DoNotOptimize(a);
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * kSumPoints));
}
BENCHMARK(PowerSumsPassPerEntry)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
