// display_check.h - whether the X display that DISPLAY names can be opened.
#pragma once

#include <optional>
#include <string>

// Where the server of a display listens: a Unix socket, or a TCP host and port.
struct DisplayServer {
    std::string unix_socket;  // set for a local display
    std::string host;         // set for a display on the network
    int port = 0;
};

// The server that DISPLAY names, "[protocol/][host]:number[.screen]": with
// no host, "unix" or protocol "unix"/"local" the socket /tmp/.X11-unix/X<number>,
// otherwise TCP port 6000 + number on the host. Nullopt for text of any
// other form.
std::optional<DisplayServer> ParseDisplay(const std::string& display);

// True when the server that `display` names accepts a connection and
// answers the start of the X protocol within about a second: a display that
// is not there, or does not answer, must not make gnuplot wait minutes for a
// window.
bool DisplayCanBeOpened(const std::string& display);
