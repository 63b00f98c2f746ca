// program_run.cpp - working directory, front-end and environment of the end-to-end runs.
#include "program_run.h"

#include <filesystem>

#include "gnuplot_stand_in.h"

namespace {

constexpr double kLingerSeconds = 0.5;

}  // namespace

std::string Expected(const std::string& name) { return ReadFile(std::string(FITCORE_EXPECTED_DIR) + "/" + name); }

std::string TestData(const std::string& name) { return ReadFile(std::string(FITCORE_TEST_DATA_DIR) + "/" + name); }

ProgramRun::ProgramRun()
    : cwd_(work_.path()),
      front_end_dir_(bin_.path()),
      env_{{"DISPLAY", std::nullopt},
           {"FITCORE_GNUPLOT", std::nullopt},
           {"FITCORE_GNUPLOT_TERMINAL", std::nullopt},
           {"FITCORE_GNUPLOT_OUTPUT", std::nullopt}}
{
}

ProgramRun& ProgramRun::In(const std::string& directory)
{
    cwd_ = directory;
    return *this;
}

ProgramRun& ProgramRun::Copy(const std::string& data_file)
{
    std::filesystem::copy_file(std::string(FITCORE_TEST_DATA_DIR) + "/" + data_file, File(data_file));
    return *this;
}

ProgramRun& ProgramRun::Write(const std::string& name, const std::string& content)
{
    WriteFile(File(name), content);
    return *this;
}

ProgramRun& ProgramRun::Front(FrontEnd front_end)
{
    path_ = bin_.path();
    switch (front_end) {
    case FrontEnd::None: path_ = "/nonexistent"; break;
    case FrontEnd::Recording: WriteRecordingStandIn(bin_.path()); break;
    case FrontEnd::RecordingScript: WritePosixRecordingStandIn(bin_.path()); break;
    case FrontEnd::Vanishing: WriteVanishingStandIn(bin_.path()); break;
    case FrontEnd::Dying: WriteDyingStandIn(bin_.path()); break;
    case FrontEnd::Lingering: WriteLingeringStandIn(bin_.path(), kLingerSeconds); break;
    case FrontEnd::Hanging: WriteHangingStandIn(bin_.path()); break;
    case FrontEnd::OnlyInWorkingDirectory:
        WriteRecordingStandIn(cwd_);
        front_end_dir_ = cwd_;
        path_ = "/nonexistent";
        break;
    case FrontEnd::Real: path_ = ProgramDir() + ":" + kSystemPath; break;
    }
    return *this;
}

ProgramRun& ProgramRun::Env(const std::string& name, std::optional<std::string> value)
{
    env_.emplace_back(name, std::move(value));
    return *this;
}

ProgramRun& ProgramRun::Shell(const std::string& commands)
{
    shell_ = commands;
    return *this;
}

std::vector<std::string> ProgramRun::Argv(const std::string& program, const std::vector<std::string>& args) const
{
    std::vector<std::string> argv;
    if (!shell_.empty()) argv = {"/bin/sh", "-c", shell_ + " exec \"$0\" \"$@\""};
    argv.push_back(program.find('/') == std::string::npos ? ProgramPath(program) : program);
    argv.insert(argv.end(), args.begin(), args.end());
    return argv;
}

RunOptions ProgramRun::OptionsWith(const std::string& input) const
{
    RunOptions options = options_;
    options.cwd = cwd_;
    options.stdin_text = input;
    options.env = {{"PATH", path_}};
    options.env.insert(options.env.end(), env_.begin(), env_.end());
    return options;
}

RunResult ProgramRun::Run(const std::string& program, const std::vector<std::string>& args,
                          const std::string& input) const
{
    return RunProgram(Argv(program, args), OptionsWith(input));
}

InteractiveProgram ProgramRun::Start(const std::string& program, const std::vector<std::string>& args) const
{
    return InteractiveProgram(Argv(program, args), OptionsWith(""));
}

std::vector<std::string> ProgramRun::Log() const { return SplitLines(ReadFile(FrontEndFile("log"))); }

bool ProgramRun::FrontEndStarted() const { return std::filesystem::exists(FrontEndFile("log")); }

std::vector<std::string> ProgramRun::DataFiles() const { return DataFilesIn(cwd_); }
