// The release manifest comes from the web: any bytes must decode or be refused without a crash,
// and whatever the acceptance rule lets through must open only a plain download address on the
// product's own host.

#include "model/SafeWebURL.h"
#include "updates/AppRelease.h"
#include "updates/Version.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace pulsedeck;
    const std::string_view body(reinterpret_cast<const char*>(data), size);
    const auto decoded = AppRelease::decode(body);
    const auto* release = std::get_if<AppRelease>(&decoded);
    if (!release)
        return 0;
    if (AppRelease::decode(release->encode()) != decoded)
        __builtin_trap();
    if (compareVersions(release->version, release->version) != 0)
        __builtin_trap();
    if (!release->isAcceptable())
        return 0;
    const std::string site(productWebsite);
    const std::string& address = release->downloadURL();
    const bool onHost = address.starts_with(site + "/") || address.starts_with(site + ":443/");
    if (!onHost || address.find_first_of("?#@%\\ ") != std::string::npos)
        __builtin_trap();
    return 0;
}
