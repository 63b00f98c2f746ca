// count_points - loads the data file named by the first argument with the
// installed fitcore library, prints how many points it holds and fits a line.
#include <cstdio>
#include <vector>

#include <fitcore/fit.h>
#include <fitcore/pcpfile.h>

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: count_points FILE\n");
        return 2;
    }
    PCPFile* file = InitPCPFile();
    if (file == nullptr) return 1;
    int status = LoadFile(argv[1], file);
    if (status == 0) {
        std::vector<double> x, y;
        for (int i = 0; i < file->count; ++i) {
            x.push_back(file->points[i].x);
            y.push_back(file->points[i].y);
        }
        fitcore::LineFit line = fitcore::fit_line(x, y);
        std::printf("%d points, slope %.5f +- %.5f\n", file->count, line.slope, line.slope_error);
    }
    DisposePCPFile(file);
    return status == 0 ? 0 : 1;
}
