// The reply of the download's helper process is read from a pipe: any bytes must decode or be
// refused without a crash, never beyond the body cap, and a decoded reply has one spelling only.

#include "platform/foundation/HTTPHelper.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace foundation;
    constexpr std::size_t cap = 1024;
    const std::string_view reply(reinterpret_cast<const char*>(data), size);
    const auto decoded = decodeHTTPReply(reply, cap);
    if (!decoded)
        return 0;
    if (const auto* response = std::get_if<HTTPResponse>(&*decoded);
        response && response->body.size() > cap)
        __builtin_trap();
    if (encodeHTTPReply(*decoded) != reply)
        __builtin_trap();
    return 0;
}
