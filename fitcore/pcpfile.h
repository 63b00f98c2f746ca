// pcpfile.h - the in-memory data file record and its PCP and CSV readers and writers.
#pragma once

#include <cstdint>

#include "point.h"

struct PCPFile {
    int32_t count;      // number of points in `points`
    int32_t tag;        // the header's second integer, kept and written back, never interpreted
    int32_t has_sigma;  // non-zero: every point carries a third value, sigma
    Point* points;      // owned array of `count` points; null while none is allocated
};

// New empty record (all zero, no array); null when it can't be allocated.
PCPFile* InitPCPFile();

// Frees the record's array and sets `points` to null; the counts stay. Null is allowed.
void DisposeStaticPCPFile(PCPFile* file);

// Frees the array and then the record. Null is allowed.
void DisposePCPFile(PCPFile* file);

// Loads `path` into a record that has no array yet: names ending in ".csv" are
// imported as comma-separated values, every other name is read as PCP.
// Prints "Loading ... file" first. 0 loaded, 1 can't open, 2 no point array.
int LoadFile(const char* path, PCPFile* file);

// Reads a PCP file: a header "count tag has_sigma", then count points of two
// (or, with has_sigma, three) numbers, all separated by any white space.
// A file that ends early, or a point that does not convert, ends reading with
// a warning and lowers `count` to the points read in full; the result is still 0.
// 1: the file can't be opened. 2: the header count is negative or out of
// range, or the array can't be allocated (`points` stays null).
int LoadPCPFile(const char* path, PCPFile* file);

// Writes the record as a PCP file. 0 written; 1 the file can't be opened or
// written completely (a message says which).
int SavePCPFile(const char* path, const PCPFile* file);

// Imports a CSV file: line 1 is a header and skipped, then x,y or x,y,sigma
// per line. Fills `count` and `points` only. 0 loaded, 1 can't open or no
// point list, 2 the point array can't be allocated.
int LoadCSVFile(const char* path, PCPFile* file);
