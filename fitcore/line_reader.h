// line_reader.h - fast line-by-line reading of a text stream for the CSV import.
#pragma once

#include <cstddef>
#include <cstdio>
#include <memory>

// Gives the lines of a text stream as GetLine with a buffer of
// kLineBufferSize bytes does, except that a lone CR ends a line as LF and
// CR LF do, and that a UTF-8 byte order mark at the start is skipped: the
// first kLineBufferSize - 1 characters of each physical line, without its
// line end, as a C string (so text after a NUL byte is not seen), and the
// rest of a longer line discarded. It reads the stream in large blocks and
// hands out lines in place, without copying them. A read error counts as
// the end of the input.
class LineReader {
public:
    static constexpr size_t kLineBufferSize = 1024;
    static constexpr size_t kDefaultBlockSize = size_t{1} << 18;

    LineReader(std::FILE* in, size_t block_size = kDefaultBlockSize);

    // False when the block buffer could not be allocated.
    bool ok() const { return buffer_ != nullptr; }

    // The next line, valid until the next call; null at the end of the input.
    char* Next();

    // True when the line Next gave last was longer than kLineBufferSize - 1
    // characters and has lost its end.
    bool cut() const { return cut_; }

    // The characters of the line Next gave last before the NUL that ends
    // it; a NUL among them ends the C string sooner.
    size_t length() const { return length_; }

private:
    bool Refill();
    void SkipStart();

    std::FILE* in_;
    size_t block_size_;
    std::unique_ptr<char[]> buffer_;  // block_size_ + kLineBufferSize bytes
    size_t pos_ = 0;                  // unread data is [pos_, end_)
    size_t end_ = 0;
    bool at_end_ = false;
    bool started_ = false;        // the byte order mark has been looked for
    bool after_cr_ = false;       // the last line ended in a CR: a LF next belongs to it
    bool cut_ = false;
    size_t length_ = 0;
};
