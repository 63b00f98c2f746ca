// line_reader.cpp - block-buffered line reading with lines cut at a fixed length.
#include "line_reader.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace {

constexpr size_t kMaxLineLength = LineReader::kLineBufferSize - 1;

}  // namespace

// Room for one block behind the longest part of a line that is kept, and
// for the NUL that ends a last line without a line end.
LineReader::LineReader(std::FILE* in, size_t block_size)
    : in_(in),
      block_size_(std::max<size_t>(block_size, 1)),
      buffer_(new (std::nothrow) char[block_size_ + LineReader::kLineBufferSize])
{
}

// Moves the unread data to the front and appends the next block. False
// when nothing more could be read.
bool LineReader::Refill()
{
    if (at_end_) return false;
    std::memmove(buffer_.get(), buffer_.get() + pos_, end_ - pos_);
    end_ -= pos_;
    pos_ = 0;
    size_t got = std::fread(buffer_.get() + end_, 1, block_size_, in_);
    end_ += got;
    if (got == 0) at_end_ = true;
    return got > 0;
}

// Before the first line: a byte order mark. Before every other: the LF of a
// CR LF whose CR ended the line before.
void LineReader::SkipStart()
{
    while (end_ - pos_ < 3 && Refill()) {
    }
    if (!started_) {
        started_ = true;
        if (end_ - pos_ >= 3 && std::memcmp(buffer_.get() + pos_, "\xEF\xBB\xBF", 3) == 0) pos_ += 3;
    } else if (after_cr_ && pos_ < end_ && buffer_[pos_] == '\n') {
        ++pos_;
    }
    after_cr_ = false;
}

namespace {

// The first CR or LF in [first, last), or null.
char* FindLineEnd(char* first, char* last)
{
    auto* line_feed = static_cast<char*>(std::memchr(first, '\n', static_cast<size_t>(last - first)));
    char* searched_end = line_feed != nullptr ? line_feed : last;
    auto* carriage_return = static_cast<char*>(std::memchr(first, '\r', static_cast<size_t>(searched_end - first)));
    return carriage_return != nullptr ? carriage_return : line_feed;
}

}  // namespace

char* LineReader::Next()
{
    SkipStart();
    cut_ = false;
    size_t scanned = 0;  // characters of this line known to hold no line end
    for (;;) {
        char* line = buffer_.get() + pos_;
        size_t available = end_ - pos_;
        char* line_end = FindLineEnd(line + scanned, line + available);
        if (line_end != nullptr) {
            size_t length = static_cast<size_t>(line_end - line);
            after_cr_ = *line_end == '\r';
            pos_ += length + 1;
            cut_ = cut_ || length > kMaxLineLength;
            length_ = std::min(length, kMaxLineLength);
            line[length_] = '\0';
            return line;
        }
        // Only the kept part of an overlong line needs to stay in the buffer,
        // so at most kMaxLineLength characters wait for the next block.
        cut_ = cut_ || available > kMaxLineLength;
        scanned = std::min(available, kMaxLineLength);
        end_ = pos_ + scanned;
        if (!Refill()) {
            if (end_ == pos_) return nullptr;
            line = buffer_.get() + pos_;
            length_ = end_ - pos_;
            line[length_] = '\0';
            pos_ = end_;
            return line;
        }
    }
}
