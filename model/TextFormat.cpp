#include "model/TextFormat.h"

#include <charconv>

namespace pulsedeck {

std::string formatText(std::string_view format, std::span<const std::string> arguments) {
    std::string out;
    out.reserve(format.size());
    std::size_t nextSequential = 0;
    auto append = [&](std::size_t index) {
        if (index < arguments.size())
            out += arguments[index];
    };
    std::size_t i = 0;
    while (i < format.size()) {
        const std::size_t percent = format.find('%', i);
        if (percent == std::string_view::npos) {
            out += format.substr(i);
            break;
        }
        out += format.substr(i, percent - i);
        const std::string_view rest = format.substr(percent + 1);
        if (rest.starts_with('%')) {
            out += '%';
            i = percent + 2;
        } else if (rest.starts_with('@')) {
            append(nextSequential++);
            i = percent + 2;
        } else {
            // "%N$@": digits, a dollar sign and "@"; anything else stays literal text. A number
            // too large to name any argument is a placeholder without one.
            std::size_t digits = 0;
            while (digits < rest.size() && rest[digits] >= '0' && rest[digits] <= '9')
                ++digits;
            if (digits > 0 && rest.substr(digits).starts_with("$@")) {
                std::size_t position = 0;
                const auto [end, error] =
                    std::from_chars(rest.data(), rest.data() + digits, position);
                if (error == std::errc() && position > 0)
                    append(position - 1);
                i = percent + 1 + digits + 2;
            } else {
                out += '%';
                i = percent + 1;
            }
        }
    }
    return out;
}

} // namespace pulsedeck
