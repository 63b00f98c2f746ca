#!/bin/sh
# wine.sh - Wine for the programs of a Windows build, in the build's own prefix
# (made on first use), quietly, and without the offers to install .NET and the
# HTML engine, which would wait for a click:
#
#   wine.sh BUILD_DIR PROGRAM.exe [ARGUMENT]...   runs a program
#   wine.sh BUILD_DIR --start                     makes the prefix and starts a server that lasts
#   wine.sh BUILD_DIR --stop                      ends that server
#
# Started by a program's run, the server and Wine's services would keep that
# run's standard output and error open for seconds after it ends; a test run
# starts one first, with no test's streams, and stops it at the end.
build=$1
shift
WINEPREFIX="$build/wine-prefix"
WINEDEBUG=-all
WINEDLLOVERRIDES="mscoree,mshtml="
export WINEPREFIX WINEDEBUG WINEDLLOVERRIDES
case "$1" in
--start)
    wineserver -p60 </dev/null >/dev/null 2>&1
    exec wine cmd /c exit 0 </dev/null >/dev/null 2>&1
    ;;
--stop)
    exec wineserver -k
    ;;
esac
exec wine "$@"
