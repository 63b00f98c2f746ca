// pcpfile.h - the in-memory data file record and its PCP and CSV readers and writers.
#pragma once

#include <cstdint>
#include <cstdio>

#include <fitcore/point.h>
#include <fitcore/pointlist.h>

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
// (or, with has_sigma, three) numbers, all separated by any white space; a
// UTF-8 byte order mark at the start is skipped. An empty file (or white
// space only) holds zero points.
// A file that ends early, or a point that does not convert, ends reading with
// a warning and lowers `count` to the points read in full; the result is still 0.
// 1: the file can't be opened, or it holds text that is not a header.
// 2: the header count is negative, a header field does not fit 32 bits, or
// memory runs out (`points` stays null).
// Every failure prints its reason in one line.
int LoadPCPFile(const char* path, PCPFile* file);

// Writes the record as a PCP file: the header "count tag has_sigma", then one
// line per point, each number as "%g" writes it where that reads back as the
// same double and with the fewest digits that do otherwise; lines end with LF
// on every system, so the file holds the same bytes everywhere. 0 written; 1
// the file can't be opened or written completely (a message says which).
int SavePCPFile(const char* path, const PCPFile* file);

// Imports a CSV file into a record that has no array yet: line 1 is a header
// and skipped whatever it holds, then one point a line, x,y or x,y,sigma (more
// fields are ignored). LF, CR LF and a lone CR each end a line. A line whose
// fields don't all convert, blank lines included, is reported as "Bad input
// line: N" and gives no point. Lines are cut at 1023 characters; a line
// whose used fields run into the cut is bad input too. Fills `count` and
// `points` only; `tag` and `has_sigma` keep their values. 0 loaded; 1 can't
// open, or no point list; 2 out of memory for the points (`points` stays
// null, a line says why).
int LoadCSVFile(const char* path, PCPFile* file);

// Writes the points of `list`, in list order, as a PCP file with the record's
// `tag` and `has_sigma`, exactly as SavePCPFile writes a record; sets the
// record's `count` to the list's. 0 written; 1 the file can't be opened or
// written completely (a message says which).
int SavePCPFileFromPointlist(const char* path, PCPFile* file, Pointlist list);

// Reads one line of at most size - 1 characters into `buffer` and removes its
// line end; the rest of a longer line is read and discarded. Returns
// `buffer`, or null when not one character could be read (end of the input
// or a read error) or size is below 2.
char* GetLine(char* buffer, int32_t size, std::FILE* in);

// How often `c` occurs in the string `text`; 0 for the terminator itself.
int32_t CountChars(const char* text, char c);
