#include "platform/foundation/URLComponents.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

// Whatever parses must compose back to the very same text, and its query items must survive
// being encoded again.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);
    // Any text, encoded as the links we make encode it, decodes back unchanged; and as a decoded
    // path of a web address it composes into a URL whose path decodes back to it.
    if (foundation::percentDecode(foundation::percentEncodeAllButUnreserved(text)) != text)
        std::abort();
    if (text.starts_with('/')) {
        foundation::URLComponents link;
        link.scheme = "https";
        link.host = "example.org";
        link.setDecodedPath(text);
        auto composed = link.string();
        auto parsed = composed ? foundation::URLComponents::parse(*composed) : std::nullopt;
        if (!parsed || foundation::percentDecode(parsed->path) != text)
            std::abort();
    }
    auto url = foundation::URLComponents::parse(text);
    if (!url)
        return 0;
    auto composed = url->string();
    if (!composed || *composed != text)
        std::abort();
    if (auto items = url->queryItems(); items && !items->empty()) {
        auto copy = *url;
        copy.setQueryItems(*items);
        auto again = foundation::URLComponents::parse(copy.string().value_or(""));
        if (!again || again->queryItems() != items)
            std::abort();
    }
    return 0;
}
