// signal_cleanup.cpp - deleting the files of a run that a signal ends.
#include "signal_cleanup.h"

#include <atomic>

#include <fitcore/platform.h>

namespace fitcore {
namespace {

constexpr int kSlots = 32;
std::atomic<gnuplot_connection*> connections[kSlots];
std::atomic<const ReplacementFile*> replacements[kSlots];

void DeleteFilesAndDie(int signal)
{
    // The writers first: a gnuplot still running could create a deleted file again.
    for (auto& slot : replacements) {
        const ReplacementFile* file = slot.load();
        if (file != nullptr) KillProcessGroupNow(file->writer_pid);
    }
    for (auto& slot : replacements) {
        const ReplacementFile* file = slot.load();
        if (file != nullptr) UnlinkFile(file->temporary.c_str());
    }
    for (auto& slot : connections) {
        gnuplot_connection* handle = slot.load();
        if (handle == nullptr) continue;
        int count = handle->temp_count;
        for (int i = 0; i < count && i < GNUPLOT_MAX_TEMP_FILES; ++i) UnlinkFile(handle->temp_files[i]);
    }
    ReraiseWithDefaultAction(signal);
}

template <typename T>
void Add(std::atomic<T*> (&slots)[kSlots], T* item)
{
    static bool handler_installed = false;
    if (!handler_installed) {
        InstallTerminationHandler(DeleteFilesAndDie);
        handler_installed = true;
    }
    for (auto& slot : slots) {
        T* empty = nullptr;
        if (slot.compare_exchange_strong(empty, item)) return;
    }
}

template <typename T>
void Remove(std::atomic<T*> (&slots)[kSlots], T* item)
{
    for (auto& slot : slots) {
        T* expected = item;
        if (slot.compare_exchange_strong(expected, nullptr)) return;
    }
}

}  // namespace

void DeleteOnSignal(gnuplot_connection* handle) { Add(connections, handle); }
void ForgetOnSignal(gnuplot_connection* handle) { Remove(connections, handle); }
void DeleteOnSignal(const ReplacementFile* file) { Add(replacements, file); }
void ForgetOnSignal(const ReplacementFile* file) { Remove(replacements, file); }

}  // namespace fitcore
