// count_points - loads the data file named by the first argument with the
// installed fitcore library and prints how many points it holds.
#include <cstdio>

#include "pcpfile.h"

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: count_points FILE\n");
        return 2;
    }
    PCPFile* file = InitPCPFile();
    if (file == nullptr) return 1;
    int status = LoadFile(argv[1], file);
    if (status == 0) std::printf("%d points\n", file->count);
    DisposePCPFile(file);
    return status == 0 ? 0 : 1;
}
