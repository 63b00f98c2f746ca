// veldafit_reference - veldafit built from the straightforward pieces: fscanf
// per number when loading, printf per number in the report. Same output; the
// benchmarks time it beside the real program.
#include <cstdio>

#include "linefit.h"
#include "pcpfile.h"
#include "reference.h"

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: veldafit_reference FILE.pcp\n");
        return 2;
    }
    PCPFile* file = InitPCPFile();
    if (file == nullptr) return 1;
    std::printf("Loading PCP file %s...\n", argv[1]);
    if (ReferenceLoadPCPFile(argv[1], file) != 0) {
        DisposePCPFile(file);
        std::puts("Error loading PCP file");
        return 1;
    }
    std::printf("Loaded file '%s' sucessfully, %d points present\n", argv[1], file->count);
    Line line = FitLine(file->points, file->count);
    ReferencePrintLineReport(ComputeLineStatistics(file->points, file->count, line.slope, line.intercept),
                             file->points, file->count);
    DisposePCPFile(file);
    return 0;
}
