#pragma once

#include <string>
#include <string_view>

namespace foundation {

// The X server a display name ("[protocol/][host]:number[.screen]") reaches, as one text: ":N"
// for a server on this machine (no host, "unix", "localhost", a loopback address or
// `thisHostName`, over any protocol), "host:N" for another; the screen is left out, since every
// screen of a server is one session. ":0", ":0.0", "unix:0" and "tcp/localhost:00" all give ":0".
// A name that does not read as a display name is given back as it is.
//
// Pure; any thread.
std::string displayServerKey(std::string_view displayName, std::string_view thisHostName);

} // namespace foundation
