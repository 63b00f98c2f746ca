// output_buffer.h - collects formatted text in a large block and writes it to
// a stream or another sink in few, large writes; formats long tables on two cores.
#pragma once

#include <cstddef>
#include <cstdio>
#include <memory>

namespace fitcore {

// Text goes to the stream with fwrite, so it stays in order with printf
// calls on the same stream as long as the buffer is flushed before them
// (Flush, or the destructor). A failed write is remembered: failed() turns
// true and later text is dropped, as a stream in error would.
class OutputBuffer {
public:
    static constexpr size_t kDefaultCapacity = size_t{1} << 20;

    // Takes `length` bytes of text; false when not all of them could be written.
    using Sink = bool (*)(void* target, const char* text, size_t length);

    explicit OutputBuffer(std::FILE* stream, size_t capacity = kDefaultCapacity);
    // Text goes to `sink`, called with `target`, instead of a stream.
    OutputBuffer(Sink sink, void* target, size_t capacity = kDefaultCapacity);
    ~OutputBuffer();  // flushes
    OutputBuffer(const OutputBuffer&) = delete;
    OutputBuffer& operator=(const OutputBuffer&) = delete;

    // Room for at least `bytes` at the returned pointer, writing out the
    // collected text first when needed; Commit(end) keeps what was written.
    char* Reserve(size_t bytes);
    void Commit(const char* end) { used_ = static_cast<size_t>(end - data_.get()); }

    // Text larger than the buffer goes to the stream directly, after the
    // collected text.
    void Append(const char* text, size_t length);

    // The fallback for any other layout: snprintf into the buffer.
    [[gnu::format(printf, 2, 3)]] void Printf(const char* format, ...);

    // Writes the collected text to the stream (fwrite only: the stream's own
    // buffer is not flushed). False once any write has failed.
    bool Flush();
    bool failed() const { return failed_; }
    // errno as the first failed write left it; 0 while none has failed.
    int error() const { return error_; }

private:
    void Write(const char* text, size_t length);

    Sink sink_;
    void* target_;
    std::unique_ptr<char[]> data_;  // left uninitialised: untouched pages cost nothing
    size_t capacity_;
    size_t used_ = 0;
    bool failed_ = false;
    int error_ = 0;
};

// Writes the text of row i; returns the end of it. It writes at most the
// table's max_row_length bytes and may run on another thread than the caller,
// so it must only read shared data.
using RowFormatter = char* (*)(char* out, size_t row, const void* context);

struct RowTable {
    size_t count;           // rows 0 to count - 1, appended in that order
    size_t max_row_length;  // bytes one row may take at most
    RowFormatter format;
    const void* context;    // handed to every call of `format`
};

// Appends the rows in order. A long table is formatted up to 2 MiB of rows
// at a time, each part as two halves at once, on this thread and one more; the
// text is the same as on this thread alone, which is where everything is
// done when no second thread (or no room for its half) can be had.
void AppendRows(OutputBuffer& out, const RowTable& table);

// The same with a callable `char* format(char* out, size_t row)`.
template <typename Formatter>
void AppendRows(OutputBuffer& out, size_t count, size_t max_row_length, const Formatter& format)
{
    RowFormatter call = [](char* text, size_t row, const void* context) {
        return (*static_cast<const Formatter*>(context))(text, row);
    };
    AppendRows(out, RowTable{count, max_row_length, call, &format});
}

}  // namespace fitcore
