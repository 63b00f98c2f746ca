// output_buffer.cpp - block-buffered output and table formatting on two cores.
#include <fitcore/output_buffer.h>

#include <algorithm>
#include <cerrno>
#include <cstdarg>
#include <cstring>
#include <memory>
#include <new>

#include "two_halves.h"

namespace fitcore {

namespace {

bool WriteToStream(void* stream, const char* text, size_t length)
{
    return std::fwrite(text, 1, length, static_cast<std::FILE*>(stream)) == length;
}

}  // namespace

OutputBuffer::OutputBuffer(std::FILE* stream, size_t capacity) : OutputBuffer(WriteToStream, stream, capacity) {}

OutputBuffer::OutputBuffer(Sink sink, void* target, size_t capacity)
    : sink_(sink), target_(target), data_(new char[std::max<size_t>(capacity, 1)]), capacity_(std::max<size_t>(capacity, 1))
{
}

OutputBuffer::~OutputBuffer() { Flush(); }

void OutputBuffer::Write(const char* text, size_t length)
{
    if (failed_ || length == 0) return;
    const int previous = errno;
    errno = 0;
    if (sink_(target_, text, length)) {
        errno = previous;
        return;
    }
    failed_ = true;
    error_ = errno != 0 ? errno : EIO;
}

bool OutputBuffer::Flush()
{
    Write(data_.get(), used_);
    used_ = 0;
    return !failed_;
}

char* OutputBuffer::Reserve(size_t bytes)
{
    if (capacity_ - used_ < bytes) {
        Flush();
        if (capacity_ < bytes) {
            data_.reset(new char[bytes]);
            capacity_ = bytes;
        }
    }
    return data_.get() + used_;
}

void OutputBuffer::Append(const char* text, size_t length)
{
    if (length > capacity_) {
        Flush();
        Write(text, length);
        return;
    }
    char* at = Reserve(length);
    std::memcpy(at, text, length);
    Commit(at + length);
}

void OutputBuffer::Printf(const char* format, ...)
{
    std::va_list args;
    va_start(args, format);
    std::va_list again;
    va_copy(again, args);
    size_t room = capacity_ - used_;
    int length = std::vsnprintf(data_.get() + used_, room, format, args);
    va_end(args);
    if (length >= 0 && static_cast<size_t>(length) >= room) {
        // Did not fit: make room for it and the NUL, then format again.
        char* at = Reserve(static_cast<size_t>(length) + 1);
        length = std::vsnprintf(at, static_cast<size_t>(length) + 1, format, again);
    }
    va_end(again);
    if (length > 0) used_ += static_cast<size_t>(length);
}

namespace {

// Rows of at most this much text are formatted as one range split in two:
// the second half's text waits aside, so this bounds the memory a table
// takes beside the points; a range still takes far longer to format than a
// thread takes to start.
constexpr size_t kRowRangeBytes = size_t{2} << 20;

char* FormatRows(const RowTable& table, size_t first, size_t last, char* at)
{
    for (size_t row = first; row < last; ++row) at = table.format(at, row, table.context);
    return at;
}

void FormatRowsInto(const RowTable& table, size_t first, size_t last, OutputBuffer& out)
{
    for (size_t row = first; row < last; ++row) {
        char* at = out.Reserve(table.max_row_length);
        out.Commit(table.format(at, row, table.context));
    }
}

}  // namespace

// Range by range, the first half's rows go straight into `out` on this
// thread while the helper formats the second half's aside; they follow once
// both are done.
void AppendRows(OutputBuffer& out, const RowTable& table)
{
    const size_t max_row = std::max<size_t>(table.max_row_length, 1);
    const size_t range_rows = std::max<size_t>(kRowRangeBytes / max_row, 2);
    const size_t most_aside = (std::min(range_rows, table.count) + 1) / 2 * max_row;
    std::unique_ptr<char[]> aside(new (std::nothrow) char[most_aside]);
    if (!aside) {
        FormatRowsInto(table, 0, table.count, out);
        return;
    }
    for (size_t first = 0; first < table.count; first += range_rows) {
        const size_t last = std::min(first + range_rows, table.count);
        const size_t middle = first + (last - first) / 2;
        char* aside_end = aside.get();
        bool split = RunHalves(first, middle, last, (last - first) * max_row, [&](size_t from, size_t to) {
            if (from == first)
                FormatRowsInto(table, from, to, out);
            else
                aside_end = FormatRows(table, from, to, aside.get());
        });
        if (split) out.Append(aside.get(), static_cast<size_t>(aside_end - aside.get()));
    }
}

}  // namespace fitcore
