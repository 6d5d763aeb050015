#include "platform/graphics/RectText.h"

#include <array>
#include <charconv>
#include <cmath>

namespace gfx {

namespace {

std::string numberText(double value) {
    char buffer[32];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, result.ptr);
}

// Reads the text token by token; every step that fails leaves the scanner failed.
class Scanner {
public:
    explicit Scanner(std::string_view text) : text_(text) {}

    void expect(char symbol) {
        skipSpaces();
        if (failed_ || text_.empty() || text_.front() != symbol) {
            failed_ = true;
            return;
        }
        text_.remove_prefix(1);
    }

    double number() {
        skipSpaces();
        double value = 0;
        const auto result = std::from_chars(text_.data(), text_.data() + text_.size(), value);
        if (failed_ || result.ec != std::errc() || !std::isfinite(value)) {
            failed_ = true;
            return 0;
        }
        text_.remove_prefix(static_cast<std::size_t>(result.ptr - text_.data()));
        return value;
    }

    bool finishedCleanly() {
        skipSpaces();
        return !failed_ && text_.empty();
    }

private:
    void skipSpaces() {
        while (!text_.empty() && text_.front() == ' ')
            text_.remove_prefix(1);
    }

    std::string_view text_;
    bool failed_ = false;
};

} // namespace

std::string stringFromRect(const Rect& rect) {
    return "{{" + numberText(rect.x()) + ", " + numberText(rect.y()) + "}, {" +
           numberText(rect.width()) + ", " + numberText(rect.height()) + "}}";
}

std::optional<Rect> rectFromString(std::string_view text) {
    Scanner scanner(text);
    std::array<double, 4> numbers{};
    scanner.expect('{');
    for (std::size_t pair = 0; pair < 2; ++pair) {
        if (pair == 1)
            scanner.expect(',');
        scanner.expect('{');
        numbers[2 * pair] = scanner.number();
        scanner.expect(',');
        numbers[2 * pair + 1] = scanner.number();
        scanner.expect('}');
    }
    scanner.expect('}');
    if (!scanner.finishedCleanly())
        return std::nullopt;
    return Rect{numbers[0], numbers[1], numbers[2], numbers[3]};
}

} // namespace gfx
