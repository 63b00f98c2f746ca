// gnuplot_driver.cpp - runs the gnuplot connection in a process of its own,
// for the tests that need a fresh process: a signal that ends it, standard
// input to wait on, or the real gnuplot.
//   gnuplot_driver signal N   plot, print the data file's name, raise signal N
//   gnuplot_driver once N     gnuplot_plot_once of N values, all texts null
//   gnuplot_driver hardcopy   plot, then plain.ps and colour.ps
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <fitcore/gnuplot_connection.h>

namespace {

const double kX[] = {1, 2, 3, 4};
const double kY[] = {1, 4, 9, 16};

int RaiseWhilePlotting(int signal)
{
    gnuplot_connection* handle = gnuplot_init();
    if (handle == nullptr) return 2;
    gnuplot_plot_xy(handle, kX, kY, 4, "squares");
    std::printf("%s\n", handle->temp_files[0]);
    std::fflush(stdout);
    std::raise(signal);
    return 3;  // not reached: the signal ends the process
}

int Hardcopies()
{
    gnuplot_connection* handle = gnuplot_init();
    if (handle == nullptr) return 2;
    gnuplot_plot_xy(handle, kX, kY, 4, "squares");
    gnuplot_hardcopy(handle, "plain.ps");
    gnuplot_hardcopy_colour(handle, "colour.ps");
    gnuplot_close(handle);
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc >= 3 && std::strcmp(argv[1], "signal") == 0) return RaiseWhilePlotting(std::atoi(argv[2]));
    if (argc >= 3 && std::strcmp(argv[1], "once") == 0) {
        gnuplot_plot_once(nullptr, nullptr, nullptr, nullptr, kX, nullptr, std::atoi(argv[2]));
        return 0;
    }
    if (argc >= 2 && std::strcmp(argv[1], "hardcopy") == 0) return Hardcopies();
    std::fputs("usage: gnuplot_driver signal N | once N | hardcopy\n", stderr);
    return 64;
}
