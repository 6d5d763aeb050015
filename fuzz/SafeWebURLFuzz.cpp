#include "model/SafeWebURL.h"
#include "platform/foundation/URLComponents.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string_view>

// Whatever the link check lets through must be a public HTTPS address: it starts with "https://",
// its host has a dot and a letter, and it carries no credentials and no port but 443.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);
    auto accepted = pulsedeck::safeWebURL(text);
    if (!accepted) {
        return 0;
    }
    auto isLetter = [](char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); };
    auto components = foundation::URLComponents::parse(*accepted);
    bool sound = accepted->starts_with("https://") && components && components->host &&
                 components->host->find('.') != std::string::npos &&
                 std::any_of(components->host->begin(), components->host->end(), isLetter) &&
                 !components->user && !components->password &&
                 (!components->port || *components->port == 443);
    if (!sound) {
        __builtin_trap();
    }
    return 0;
}
