// reference_programs.cpp - loading and announcing the data file in the straightforward versions.
#include "reference_programs.h"

#include <cstdio>
#include <cstring>

#include "reference.h"

PCPFile* OpenReferenceDataFile(int argc, char** argv, bool requires_sigma)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s FILE.pcp\n", argv[0]);
        return nullptr;
    }
    PCPFile* file = InitPCPFile();
    if (file == nullptr) return nullptr;
    std::printf("Loading PCP file %s...\n", argv[1]);
    if (ReferenceLoadPCPFile(argv[1], file) != 0) {
        DisposePCPFile(file);
        std::puts("Error loading PCP file");
        return nullptr;
    }
    if (requires_sigma && file->has_sigma == 0) {
        DisposePCPFile(file);
        std::puts("This file does not contain weighting information.");
        return nullptr;
    }
    std::printf("Loaded file '%s' sucessfully, %d points present\n", argv[1], file->count);
    return file;
}

bool TakeNoPlotOption(int* argc, char*** argv)
{
    if (*argc < 2 || std::strcmp((*argv)[1], "-n") != 0) return false;
    (*argv)[1] = (*argv)[0];
    --*argc;
    ++*argv;
    return true;
}
