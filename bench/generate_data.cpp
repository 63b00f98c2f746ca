// generate_data - writes a deterministic data file of measured-looking points
// for the benchmarks: a gently curved response with noise, x on a jittered grid.
//
//   generate_data pcp|pcp-sigma|csv|csv-sigma|table COUNT SEED OUTPUT
// (table: the points of pcp as a whitespace table under the comment "# x y")
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>

#include <fitcore/number_format.h>
#include <fitcore/output_buffer.h>


namespace {

struct Options {
    bool csv = false;
    bool table = false;
    bool sigma = false;
    long count = 0;
    unsigned long long seed = 0;
    const char* output = nullptr;
};

bool ParseOptions(int argc, char** argv, Options* options)
{
    if (argc != 5) return false;
    std::string format = argv[1];
    options->csv = format.rfind("csv", 0) == 0;
    options->table = format == "table";
    options->sigma = format.find("sigma") != std::string::npos;
    if (format != "pcp" && format != "pcp-sigma" && format != "csv" && format != "csv-sigma" && format != "table")
        return false;
    char* end = nullptr;
    options->count = std::strtol(argv[2], &end, 10);
    if (*end != '\0' || options->count < 0 || options->count > 2000000000) return false;
    options->seed = std::strtoull(argv[3], &end, 10);
    if (*end != '\0') return false;
    options->output = argv[4];
    return true;
}

}  // namespace

int main(int argc, char** argv)
{
    Options options;
    if (!ParseOptions(argc, argv, &options)) {
        std::fprintf(stderr, "usage: generate_data pcp|pcp-sigma|csv|csv-sigma|table COUNT SEED OUTPUT\n");
        return 2;
    }
    std::FILE* out = std::fopen(options.output, "w");
    if (out == nullptr) {
        std::fprintf(stderr, "can't open %s for writing: %s\n", options.output, std::strerror(errno));
        return 1;
    }
    if (options.csv)
        std::fprintf(out, options.sigma ? "x,y,sigma\n" : "x,y\n");
    else if (options.table)
        std::fprintf(out, "# x y\n");
    else
        std::fprintf(out, "%ld 0 %d\n", options.count, options.sigma ? 1 : 0);

    std::mt19937_64 random(options.seed);
    std::uniform_real_distribution<double> jitter(-0.3, 0.3);
    std::normal_distribution<double> noise(0.0, 1.0);
    const char separator = options.csv ? ',' : ' ';
    bool written;
    {
        fitcore::OutputBuffer buffer(out);
        for (long i = 0; i < options.count; ++i) {
            double x = 10.0 * (static_cast<double>(i) + jitter(random)) / static_cast<double>(options.count);
            double sigma = 0.05 + 0.02 * x + 0.01 * std::abs(noise(random));
            double y = 1.5 + 2.3 * x - 0.04 * x * x + sigma * noise(random);
            char* at = buffer.Reserve(3 * (fitcore::MaxGeneralLength(9) + 1));
            at = fitcore::AppendGeneral(at, x, 9);
            *at++ = separator;
            at = fitcore::AppendGeneral(at, y, 9);
            if (options.sigma) {
                *at++ = separator;
                at = fitcore::AppendGeneral(at, sigma, 9);
            }
            *at++ = '\n';
            buffer.Commit(at);
        }
        written = buffer.Flush();
    }
    if (std::fclose(out) != 0 || !written) {
        std::fprintf(stderr, "can't write %s completely\n", options.output);
        return 1;
    }
    return 0;
}
