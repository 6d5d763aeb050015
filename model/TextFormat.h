#pragma once

#include <span>
#include <string>
#include <string_view>

namespace pulsedeck {

// Fills a resource text's placeholders with plain text: "%@" takes the next argument in order,
// "%N$@" takes argument N (counted from 1), "%%" is a percent sign. The text comes from a
// translation and is never trusted as a printf format: a placeholder without an argument becomes
// empty, arguments without a placeholder are dropped, and every other "%" sequence is kept as
// written. The arguments are inserted as they are, never scanned for placeholders themselves.
// Pure; any thread.
std::string formatText(std::string_view format, std::span<const std::string> arguments);

} // namespace pulsedeck
