// csvimport.cpp - import of comma-separated x,y[,sigma] files, and its line helpers.
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

#include "line_reader.h"
#include <fitcore/pcpfile.h>
#include <fitcore/platform.h>
#include "pointlist_append.h"
#include "text_chars.h"

namespace {

using fitcore::IsDigit;
using fitcore::IsSpace;

// Characters that strtod may take as part of one number: digits, sign,
// point, exponent and hexadecimal letters, "inf"/"nan" and "nan(...)".
bool MayBelongToNumber(char c)
{
    return IsDigit(c) || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '.' ||
           c == '+' || c == '-' || c == '_' || c == '(' || c == ')';
}

// Text that std::from_chars and strtod read alike: decimal digits, point,
// exponent and signs, but no leading '+', which from_chars refuses.
bool IsPlainDecimal(const char* first, const char* last)
{
    if (first == last || *first == '+') return false;
    for (const char* c = first; c != last; ++c)
        if (!IsDigit(*c) && *c != '.' && *c != 'e' && *c != 'E' && *c != '-' && *c != '+')
            return false;
    return true;
}

// One "%le" field: white space, then the longest prefix that strtod takes
// as a number. Plain decimals take the from_chars fast path. On success
// moves *at behind the number; false when no number starts there.
bool ReadNumber(const char** at, double* value)
{
    const char* first = *at;
    while (IsSpace(*first)) ++first;
    const char* last = first;
    while (MayBelongToNumber(*last)) ++last;
    if (IsPlainDecimal(first, last)) {
        auto [stop, error] = std::from_chars(first, last, *value);
        if (error == std::errc() && stop == last) {
            *at = last;
            return true;
        }
    }
    char* stop = nullptr;
    double parsed = std::strtod(first, &stop);
    if (stop == first) return false;
    *value = parsed;
    *at = stop;
    return true;
}

// "x,y" or, with two or more commas, "x,y,sigma" and whatever follows. A
// comma must follow its number directly; text after the last field used is
// ignored. False when any of the fields used does not convert, or, in a
// line that was `cut`, runs into the cut and may have lost digits.
bool ParseCSVLine(const char* line, bool cut, Point* point)
{
    int32_t commas = CountChars(line, ',');
    if (commas == 0) return false;
    const char* at = line;
    if (!ReadNumber(&at, &point->x) || *at != ',') return false;
    ++at;
    if (!ReadNumber(&at, &point->y)) return false;
    point->sigma = 0;
    if (commas >= 2) {
        if (*at != ',') return false;
        ++at;
        if (!ReadNumber(&at, &point->sigma)) return false;
    }
    return !(cut && *at == '\0');
}

using FilePtr = std::unique_ptr<std::FILE, decltype(&std::fclose)>;
using ListPtr = std::unique_ptr<PointlistSegment, decltype(&FreePointlist)>;

// Lines of the file after the header, parsed a batch at a time.
constexpr size_t kBatchLines = 8192;

struct LineBatch {
    std::vector<Point> points;                          // of the good lines, in line order
    std::vector<std::pair<size_t, long>> bad_lines;     // points of the batch before it, line number
    bool last = false;                                  // the input ended in this batch
};

// Parses up to kBatchLines lines into `batch`; `line_number` is that of the next line.
void ParseBatch(LineReader& reader, long& line_number, LineBatch& batch)
{
    batch.points.clear();
    batch.bad_lines.clear();
    batch.last = false;
    for (size_t lines = 0; lines < kBatchLines; ++lines, ++line_number) {
        // The end of the input and a read error alike end the lines.
        const char* line = reader.Next();
        if (line == nullptr) {
            batch.last = true;
            return;
        }
        Point point{};
        if (ParseCSVLine(line, reader.cut(), &point))
            batch.points.push_back(point);
        else
            batch.bad_lines.emplace_back(batch.points.size(), line_number);
    }
}

// Appends the batch's points behind `*tail` and reports its bad lines, all
// in line order. False when the list can't take another point.
bool TakeBatch(const LineBatch& batch, PointlistSegment** tail, int32_t* count)
{
    size_t next = 0;
    auto append_up_to = [&](size_t end) {
        for (; next < end; ++next) {
            // The record counts its points in 32 bits.
            if (*count == std::numeric_limits<int32_t>::max() || AppendPoint(tail, batch.points[next]) != 0)
                return false;
            ++*count;
        }
        return true;
    };
    for (auto [points_before, line_number] : batch.bad_lines) {
        if (!append_up_to(points_before)) return false;
        std::printf("Bad input line: %ld\n", line_number);
    }
    return append_up_to(batch.points.size());
}

// A helper thread reads and parses the lines, batch after batch, while this
// thread appends their points to the list: a ring of batches, each handed
// back for reuse once taken.
class BatchPipeline {
public:
    explicit BatchPipeline(LineReader& reader) : reader_(reader)
    {
        // All room up front: the helper never allocates.
        for (LineBatch& batch : batches_) {
            batch.points.reserve(kBatchLines);
            batch.bad_lines.reserve(kBatchLines);
        }
    }

    ~BatchPipeline()
    {
        if (!helper_.joinable()) return;
        {
            std::lock_guard lock(mutex_);
            stopped_ = true;
        }
        changed_.notify_all();
        helper_.join();
    }

    // False when no second thread could be started.
    bool Start()
    {
        try {
            helper_ = std::thread([this] { Produce(); });
            return true;
        } catch (const std::system_error&) {
            return false;
        }
    }

    // Takes every batch in order; false as soon as one can't be taken whole.
    bool TakeAll(PointlistSegment** tail, int32_t* count)
    {
        for (size_t taken = 0;; ++taken) {
            {
                std::unique_lock lock(mutex_);
                changed_.wait(lock, [&] { return produced_ > taken; });
            }
            const LineBatch& batch = batches_[taken % kBatches];
            if (!TakeBatch(batch, tail, count)) return false;
            if (batch.last) return true;
            {
                std::lock_guard lock(mutex_);
                released_ = taken + 1;
            }
            changed_.notify_all();
        }
    }

private:
    static constexpr size_t kBatches = 3;

    void Produce()
    {
        long line_number = 2;
        reader_.Next();  // the header, skipped whatever it holds
        for (size_t made = 0;; ++made) {
            {
                std::unique_lock lock(mutex_);
                changed_.wait(lock, [&] { return stopped_ || made < released_ + kBatches; });
                if (stopped_) return;
            }
            LineBatch& batch = batches_[made % kBatches];
            ParseBatch(reader_, line_number, batch);
            {
                std::lock_guard lock(mutex_);
                produced_ = made + 1;
            }
            changed_.notify_all();
            if (batch.last) return;
        }
    }

    LineReader& reader_;
    LineBatch batches_[kBatches];
    std::mutex mutex_;
    std::condition_variable changed_;
    size_t produced_ = 0;  // batches parsed
    size_t released_ = 0;  // batches taken and free again
    bool stopped_ = false;
    std::thread helper_;
};

// The same on this thread alone, a line at a time.
bool ReadPointsHere(LineReader& reader, PointlistSegment** tail, int32_t* count)
{
    long line_number = 1;
    reader.Next();  // the header, skipped whatever it holds
    ++line_number;
    for (const char* line; (line = reader.Next()) != nullptr; ++line_number) {
        Point point{};
        if (!ParseCSVLine(line, reader.cut(), &point)) {
            std::printf("Bad input line: %ld\n", line_number);
            continue;
        }
        if (*count == std::numeric_limits<int32_t>::max() || AppendPoint(tail, point) != 0) return false;
        ++*count;
    }
    return true;
}

// Adds the points of every line after the header to `list`, in line order,
// reporting the bad lines. False when the list can't take another point.
bool ReadPoints(LineReader& reader, Pointlist list)
{
    PointlistSegment* tail = list;
    int32_t count = 0;
    std::unique_ptr<BatchPipeline> pipeline;
    try {
        pipeline = std::make_unique<BatchPipeline>(reader);
    } catch (const std::bad_alloc&) {
    }
    if (pipeline && pipeline->Start()) return pipeline->TakeAll(&tail, &count);
    pipeline.reset();
    return ReadPointsHere(reader, &tail, &count);
}

}  // namespace

char* GetLine(char* buffer, int32_t size, std::FILE* in)
{
    if (size < 2) return nullptr;
    int32_t length = 0;
    bool line_ended = false;
    while (length < size - 1 && !line_ended) {
        int c = std::getc(in);
        if (c == EOF) break;
        buffer[length++] = static_cast<char>(c);
        line_ended = c == '\n';
    }
    if (length == 0) return nullptr;
    buffer[length] = '\0';
    if (line_ended) {
        buffer[length - 1] = '\0';
    } else {
        // Whether the line was too long or is the last one without a line end,
        // what is left of it up to its line end is not part of the next line.
        for (int c = std::getc(in); c != EOF && c != '\n'; c = std::getc(in)) {
        }
    }
    return buffer;
}

int32_t CountChars(const char* text, char c)
{
    if (text == nullptr || c == '\0') return 0;
    int32_t count = 0;
    for (const char* hit = std::strchr(text, c); hit != nullptr; hit = std::strchr(hit + 1, c)) ++count;
    return count;
}

int LoadCSVFile(const char* path, PCPFile* file)
{
    FilePtr in(fitcore::OpenForReading(path), &std::fclose);
    if (!in) {
        std::printf("Can't open %s for reading!\n", path);
        return 1;
    }
    ListPtr list(MakePointlist(), &FreePointlist);
    if (!list) {
        std::printf("Could not create Pointlist!\n");
        return 1;
    }
    bool read = false;
    try {
        LineReader reader(in.get());
        read = reader.ok() && ReadPoints(reader, list.get());
    } catch (const std::bad_alloc&) {
    }
    in.reset();
    if (read) file->points = PointlistToArray(list.get());
    file->count = GetPointCount(list.get());
    if (file->points != nullptr) return 0;
    if (!read && file->count == std::numeric_limits<int32_t>::max())
        std::printf("Can't load %s: it holds more than %d points.\n", path, file->count);
    else
        std::printf("Can't load %s: not enough memory.\n", path);
    return 2;
}
