// replacement_file.cpp - writing beside a file and renaming over it when done.
#include <fitcore/replacement_file.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <random>
#include <system_error>

#include <fitcore/platform.h>
#include "file_system_name.h"
#include "signal_cleanup.h"

namespace fitcore {
namespace {

namespace fs = std::filesystem;

constexpr int kMaxDraws = 100;

// The file that `target` stands for: a symbolic link's destination, so that
// the link stays and the file it names is replaced.
fs::path Resolved(const fs::path& target)
{
    std::error_code error;
    if (!fs::is_symlink(fs::symlink_status(target, error))) return target;
    fs::path destination = fs::canonical(target, error);
    return error ? target : destination;
}

// Why an existing `target` can't be replaced; null when it can (a regular
// file, or nothing under the name).
const char* RefusalOf(const fs::path& target)
{
    std::error_code error;
    fs::file_status status = fs::status(target, error);
    if (status.type() == fs::file_type::not_found || fs::is_regular_file(status)) return nullptr;
    if (fs::is_directory(status)) return "it is a directory";
    if (error) return nullptr;  // the creation beside it gives the reason
    return "it is not a regular file";
}

// "<folder>/.<name>.<six digits><extension>" for the target "<folder>/<name>".
std::string TemporaryName(const fs::path& target, unsigned draw)
{
    char digits[8];
    std::snprintf(digits, sizeof digits, "%06u", draw % 1000000u);
    std::string name = "." + FileName(target.filename()) + "." + digits + FileName(target.extension());
    return FileName(target.parent_path() / FileSystemPath(name.c_str()));
}

}  // namespace

bool BeginReplacement(const char* target, ReplacementFile* file, std::string* reason)
{
    const fs::path resolved = Resolved(FileSystemPath(target));
    if (const char* refusal = RefusalOf(resolved)) {
        *reason = refusal;
        return false;
    }
    std::random_device seed;
    std::minstd_rand draws(seed());
    for (int draw = 0; draw < kMaxDraws; ++draw) {
        std::string name = TemporaryName(resolved, static_cast<unsigned>(draws()));
        int fd = CreateNewFile(name.c_str(), false);
        if (fd < 0 && errno == EEXIST) continue;
        if (fd < 0) break;
        CloseFile(fd);
        std::error_code error;
        fs::file_status existing = fs::status(resolved, error);
        if (fs::is_regular_file(existing))
            fs::permissions(FileSystemPath(name.c_str()), existing.permissions(), error);
        file->target = FileName(resolved);
        file->temporary = name;
        DeleteOnSignal(file);
        return true;
    }
    *reason = std::strerror(errno);
    return false;
}

bool CommitReplacement(ReplacementFile* file, std::string* reason)
{
    if (RenameOver(file->temporary.c_str(), file->target.c_str()) == 0) {
        ForgetOnSignal(file);
        file->temporary.clear();
        return true;
    }
    *reason = std::strerror(errno);
    AbandonReplacement(file);
    return false;
}

void AbandonReplacement(ReplacementFile* file)
{
    if (file->temporary.empty()) return;
    UnlinkFile(file->temporary.c_str());
    ForgetOnSignal(file);
    file->temporary.clear();
}

bool ReplacementWritten(const ReplacementFile& file)
{
    std::error_code error;
    std::uintmax_t size = fs::file_size(FileSystemPath(file.temporary.c_str()), error);
    return !error && size > 0;
}

}  // namespace fitcore
