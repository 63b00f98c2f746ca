// windows_stand_in.cpp - the recording stand-in for the front-end, built for
// Windows: what the tests' shell-script stand-ins do, for programs run under
// Wine. It keeps its records beside itself, in the folder of its .exe, and
// does what the file "stand-in-mode" there says:
//   record  (or no file) appends every line it receives to "log" and copies
//           the data files named in plot commands to "data.n", n from 1, as
//           the line arrives (see WriteRecordingStandIn); a line is logged
//           once its files have been copied;
//   vanish  closes its input, leaves the file "closed" and ends at once;
//   die     logs two lines and ends;
//   hang    reads its whole input and then does not end, as a gnuplot that
//           hangs on its way out.
// Every byte is kept as received: standard input is read in binary mode.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <fcntl.h>
#include <io.h>
#include <windows.h>

namespace {

namespace fs = std::filesystem;

fs::path OwnFolder()
{
    char path[MAX_PATH];
    DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
    return fs::path(std::string(path, length)).parent_path();
}

std::string ReadAll(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// One line without its LF; false at the end of the input.
bool ReadLine(std::string& line)
{
    line.clear();
    for (int c; (c = std::getchar()) != EOF;) {
        if (c == '\n') return true;
        line += static_cast<char>(c);
    }
    return !line.empty();
}

void Log(const fs::path& folder, const std::string& line)
{
    std::ofstream(folder / "log", std::ios::binary | std::ios::app) << line << '\n';
}

// The file between the quotes that follow "plot \"", then every further
// "./gnuplot-i-" file quoted on the line; none for another line.
std::vector<std::string> PlottedFiles(const std::string& line)
{
    std::vector<std::string> files;
    std::size_t at = line.find("plot \"");
    if (at == std::string::npos) return files;
    const std::string further = "\"./gnuplot-i-";
    for (std::size_t start = at + 6; start != std::string::npos && start < line.size();) {
        std::size_t end = line.find('"', start);
        files.push_back(line.substr(start, end == std::string::npos ? std::string::npos : end - start));
        if (end == std::string::npos) break;
        start = line.find(further, end + 1);
        if (start != std::string::npos) ++start;
    }
    return files;
}

}  // namespace

int main()
{
    _setmode(_fileno(stdin), _O_BINARY);
    const fs::path folder = OwnFolder();
    std::string mode = ReadAll(folder / "stand-in-mode");
    if (mode.starts_with("vanish")) {
        std::fclose(stdin);
        std::ofstream(folder / "closed");
        return 0;
    }
    if (mode.starts_with("hang")) {
        while (std::getchar() != EOF) {
        }
        Sleep(INFINITE);
    }
    int lines_left = mode.starts_with("die") ? 2 : -1;
    int plots = 0;
    for (std::string line; lines_left != 0 && ReadLine(line); --lines_left) {
        for (const std::string& plotted : PlottedFiles(line)) {
            if (plotted.empty()) continue;
            std::error_code ignored;
            fs::copy_file(plotted, folder / ("data." + std::to_string(++plots)),
                          fs::copy_options::overwrite_existing, ignored);
        }
        Log(folder, line);
    }
    return 0;
}
