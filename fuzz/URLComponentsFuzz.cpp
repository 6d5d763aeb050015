#include "platform/foundation/URLComponents.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

// Whatever parses must compose back to the very same text, and its query items must survive
// being encoded again.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);
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
