// display_check.cpp - a bounded check that the display's server answers.
#include "display_check.h"

#include <fitcore/platform.h>
#include <fitcore/whole_number.h>

namespace {

constexpr int kFirstPort = 6000;
constexpr int kTimeoutMs = 1000;

// The start of an X connection without authorisation, least significant
// byte first, protocol 11.0. Any server answers it, if only to refuse it.
const std::string kConnectionSetup("l\0\x0b\0\0\0\0\0\0\0\0\0", 12);

bool AllDigits(const std::string& text)
{
    return !text.empty() && text.find_first_not_of("0123456789") == std::string::npos;
}

}  // namespace

std::optional<DisplayServer> ParseDisplay(const std::string& display)
{
    std::size_t colon = display.rfind(':');
    if (colon == std::string::npos) return std::nullopt;
    std::string host = display.substr(0, colon);
    if (!host.empty() && host.back() == ':') return std::nullopt;  // DECnet: "host::0"
    std::string number = display.substr(colon + 1);
    number = number.substr(0, number.find('.'));  // the screen does not matter
    if (!AllDigits(number) || number.size() > 5) return std::nullopt;

    std::string protocol;
    if (std::size_t slash = host.find('/'); slash != std::string::npos) {
        protocol = host.substr(0, slash);
        host = host.substr(slash + 1);
    }
    if (protocol.empty()) protocol = host.empty() || host == "unix" ? "unix" : "tcp";

    DisplayServer server;
    if (protocol == "unix" || protocol == "local") {
        server.unix_socket = "/tmp/.X11-unix/X" + number;
        return server;
    }
    if (protocol != "tcp" && protocol != "inet" && protocol != "inet6") return std::nullopt;
    if (host.size() >= 2 && host.front() == '[' && host.back() == ']') host = host.substr(1, host.size() - 2);
    server.host = host.empty() ? "localhost" : host;
    server.port = kFirstPort + *fitcore::WholeNumberOf(number);
    if (server.port > 65535) return std::nullopt;
    return server;
}

bool DisplayCanBeOpened(const std::string& display)
{
    std::optional<DisplayServer> server = ParseDisplay(display);
    if (!server) return false;
    if (server->unix_socket.empty())
        return fitcore::TcpPortAccepts(server->host.c_str(), server->port, kTimeoutMs, kConnectionSetup);
    // Servers listen on the socket file and, on Linux, on an abstract socket of the same name.
    return fitcore::UnixSocketAccepts(server->unix_socket.c_str(), kTimeoutMs, kConnectionSetup) ||
           fitcore::UnixSocketAccepts(("@" + server->unix_socket).c_str(), kTimeoutMs, kConnectionSetup);
}
