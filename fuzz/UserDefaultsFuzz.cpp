#include "platform/foundation/JSON.h"
#include "platform/foundation/PropertyListCoding.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

// A preferences file from disk, read entry by entry as the store reads it: whatever entries
// decode must be written back in a form that decodes, whole, to the same values, so a load and a
// save never change what the user had; and a file that decodes strictly loses no entry.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);
    const auto entries = foundation::decodePropertyListEntries(text);
    const auto strict = foundation::decodePropertyList(text);
    if (strict && (!entries || entries->droppedEntries != 0 ||
                   foundation::encodePropertyList(*strict) !=
                       foundation::encodePropertyList(entries->values)))
        std::abort();
    if (!entries)
        return 0;
    auto written = foundation::encodePropertyList(entries->values);
    auto again = foundation::decodePropertyList(written);
    if (!again || foundation::encodePropertyList(*again) != written)
        std::abort();
    // Indented while that fits, to the byte.
    const auto every = [](std::string_view) { return true; };
    if (foundation::encodePropertyList(entries->values, written.size(), SIZE_MAX, every).text !=
        written)
        std::abort();
    // Within limits it does not fit, what is written still fits and decodes whole to the
    // entries kept.
    const std::size_t limit = 3 + size / 2;
    const std::size_t valueLimit = 1 + size / 8;
    auto bounded =
        foundation::encodePropertyList(entries->values, limit, valueLimit,
                                       [](std::string_view key) { return key.size() % 2 == 0; });
    auto kept = entries->values;
    for (const auto& key : bounded.leftOut)
        kept.erase(key);
    const auto decoded = foundation::decodePropertyList(bounded.text);
    if (bounded.text.size() > limit || foundation::jsonValueCount(bounded.text) > valueLimit ||
        !decoded ||
        foundation::encodePropertyList(*decoded) != foundation::encodePropertyList(kept))
        std::abort();
    return 0;
}
