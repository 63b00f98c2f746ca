// csvimport.cpp - import of comma-separated x,y[,sigma] files.
#include <cstdio>

#include "pcpfile.h"

int LoadCSVFile(const char* path, PCPFile* file)
{
    (void)file;
    std::printf("Can't import %s: CSV import is not built yet.\n", path);
    return 1;
}
