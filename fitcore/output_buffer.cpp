// output_buffer.cpp - block-buffered output and ordered two-thread table formatting.
#include <fitcore/output_buffer.h>

#include <algorithm>
#include <condition_variable>
#include <cstdarg>
#include <cstring>
#include <memory>
#include <new>
#include <mutex>
#include <system_error>
#include <thread>

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
    if (!sink_(target_, text, length)) failed_ = true;
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

void FormatBlock(const RowTable& table, size_t first, size_t last, OutputBuffer& out)
{
    for (size_t row = first; row < last; ++row) {
        char* at = out.Reserve(table.max_row_length);
        out.Commit(table.format(at, row, table.context));
    }
}

// Blocks of rows are claimed in order by this thread and a helper; each is
// formatted into one of a ring of slots. This thread writes the finished
// slots in block order and formats a block itself whenever the next one to
// write is not ready yet. A slot is reused only after its block was written,
// so at most kSlots blocks are held at once.
class ParallelRows {
public:
    ParallelRows(const RowTable& table, size_t block_rows)
        : table_(table),
          block_rows_(block_rows),
          blocks_((table.count + block_rows - 1) / block_rows)
    {
        for (Slot& slot : slots_) slot.text.reset(new char[block_rows * table.max_row_length]);
    }

    // False when no second thread could be started; nothing is written then.
    bool Start()
    {
        try {
            helper_ = std::thread([this] { HelpFormat(); });
            return true;
        } catch (const std::system_error&) {
            return false;
        }
    }

    void Finish(OutputBuffer& out)
    {
        WriteInOrder(out);
        helper_.join();
    }

private:
    static constexpr size_t kSlots = 8;

    struct Slot {
        std::unique_ptr<char[]> text;
        size_t length = 0;
        bool ready = false;
    };

    bool CanClaim() const { return next_claim_ < blocks_ && next_claim_ < next_write_ + kSlots; }

    void Format(size_t block)
    {
        Slot& slot = slots_[block % kSlots];
        size_t first = block * block_rows_, last = std::min(first + block_rows_, table_.count);
        char* at = slot.text.get();
        for (size_t row = first; row < last; ++row) at = table_.format(at, row, table_.context);
        std::lock_guard lock(mutex_);
        slot.length = static_cast<size_t>(at - slot.text.get());
        slot.ready = true;
        changed_.notify_all();
    }

    void HelpFormat()
    {
        for (;;) {
            size_t block;
            {
                std::unique_lock lock(mutex_);
                changed_.wait(lock, [this] { return CanClaim() || next_claim_ >= blocks_; });
                if (next_claim_ >= blocks_) return;
                block = next_claim_++;
            }
            Format(block);
        }
    }

    void WriteInOrder(OutputBuffer& out)
    {
        std::unique_lock lock(mutex_);
        while (next_write_ < blocks_) {
            Slot& slot = slots_[next_write_ % kSlots];
            if (slot.ready) {
                lock.unlock();
                out.Append(slot.text.get(), slot.length);
                lock.lock();
                slot.ready = false;
                ++next_write_;
                changed_.notify_all();
            } else if (CanClaim()) {
                size_t block = next_claim_++;
                lock.unlock();
                Format(block);
                lock.lock();
            } else {
                changed_.wait(lock);
            }
        }
    }

    const RowTable& table_;
    const size_t block_rows_;
    const size_t blocks_;
    Slot slots_[kSlots];
    std::mutex mutex_;
    std::condition_variable changed_;
    size_t next_claim_ = 0;  // first block nobody has taken yet
    size_t next_write_ = 0;  // first block not written yet
    std::thread helper_;
};

}  // namespace

void AppendRows(OutputBuffer& out, const RowTable& table)
{
    size_t max_row = std::max<size_t>(table.max_row_length, 1);
    size_t block_rows = table.block_rows != 0 ? table.block_rows : std::max<size_t>((128 << 10) / max_row, 1);
    if (table.count <= table.parallel_threshold || table.count <= block_rows) {
        FormatBlock(table, 0, table.count, out);
        return;
    }
    std::unique_ptr<ParallelRows> parallel;
    try {
        parallel = std::make_unique<ParallelRows>(table, block_rows);
    } catch (const std::bad_alloc&) {
    }
    if (parallel && parallel->Start())
        parallel->Finish(out);
    else
        FormatBlock(table, 0, table.count, out);
}

}  // namespace fitcore
