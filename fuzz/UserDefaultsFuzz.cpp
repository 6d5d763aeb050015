#include "platform/foundation/PropertyListCoding.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

// A preferences file from disk: whatever decodes must be written back in a form that decodes to
// the same values, so a load and a save never change what the user had.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);
    auto decoded = foundation::decodePropertyList(text);
    if (!decoded)
        return 0;
    auto written = foundation::encodePropertyList(*decoded);
    auto again = foundation::decodePropertyList(written);
    if (!again || foundation::encodePropertyList(*again) != written)
        std::abort();
    return 0;
}
