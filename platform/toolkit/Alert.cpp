#include "platform/toolkit/Alert.h"

#include "platform/graphics/AttributedString.h"
#include "platform/graphics/Context.h"
#include "platform/graphics/Path.h"
#include "platform/toolkit/Application.h"
#include "platform/toolkit/Screen.h"

#include <algorithm>
#include <cmath>
#include <pango/pango.h>
#include <sstream>
#include <string_view>

namespace ui {

namespace {

constexpr double alertWidth = 420;
constexpr double padding = 20;
constexpr double messageGap = 8;
constexpr double buttonGap = 12;
constexpr double buttonHeight = 24;
constexpr double minimumButtonWidth = 80;
constexpr double buttonTextPadding = 24;
const gfx::Color accent = gfx::Color::srgb(0.16, 0.58, 1.0);

gfx::TextAttributes messageAttributes() {
    return {gfx::Font::system(13, gfx::FontWeight::bold), gfx::Color::label()};
}

gfx::TextAttributes informativeAttributes() {
    return {gfx::Font::system(11), gfx::Color::secondaryLabel()};
}

gfx::TextAttributes buttonAttributes(const gfx::Color& color) {
    return {gfx::Font::system(13), color};
}

double measureWith(const gfx::TextAttributes& attributes, const std::string& text) {
    return gfx::textSize(text, attributes).width;
}

class AlertWindow final : public Panel {
public:
    using Panel::Panel;
    bool canBecomeKeyWindow() const override { return true; }

protected:
    WindowRole role() const override { return WindowRole::alert; }
};

// The alert's texts, and the keys that press its buttons.
class AlertContentView final : public View {
public:
    AlertContentView(const gfx::Rect& frame, std::vector<std::string> message,
                     std::vector<std::string> informative,
                     std::vector<std::shared_ptr<AlertButton>> buttons)
        : View(frame), message_(std::move(message)), informative_(std::move(informative)),
          buttons_(std::move(buttons)) {
        setAccessibilityElement(true);
        setAccessibilityRole(AccessibilityRole::window);
    }

    bool acceptsFirstResponder() const override { return true; }

protected:
    void drawRect(gfx::Context& context, const gfx::Rect&) override {
        double top = bounds().maxY() - padding;
        auto drawLines = [&](const std::vector<std::string>& lines,
                             const gfx::TextAttributes& attributes) {
            for (const std::string& line : lines) {
                const double height = gfx::textSize(line.empty() ? " " : line, attributes).height;
                top -= height;
                gfx::drawText(context, line, {padding, top}, attributes);
            }
        };
        drawLines(message_, messageAttributes());
        top -= messageGap;
        drawLines(informative_, informativeAttributes());
    }

    void keyDown(const Event& event) override {
        if (buttons_.empty())
            return;
        if (event.keyCode() == KeyCode::returnKey) {
            buttons_.front()->accessibilityPerformPress();
            return;
        }
        if (event.keyCode() == KeyCode::escape) {
            for (auto& button : buttons_) {
                if (button->title() == "Cancel") {
                    button->accessibilityPerformPress();
                    return;
                }
            }
        }
    }

private:
    std::vector<std::string> message_;
    std::vector<std::string> informative_;
    std::vector<std::shared_ptr<AlertButton>> buttons_;
};

// The paragraph cut where a line may end (the text engine's rules: after a space, between two
// ideographs, never before a closing mark such as "。"); each piece keeps its trailing spaces.
std::vector<std::string_view> breakablePieces(std::string_view paragraph) {
    const int characters =
        static_cast<int>(g_utf8_strlen(paragraph.data(), static_cast<gssize>(paragraph.size())));
    std::vector<PangoLogAttr> attributes(static_cast<std::size_t>(characters) + 1);
    pango_get_log_attrs(paragraph.data(), static_cast<int>(paragraph.size()), -1, nullptr,
                        attributes.data(), static_cast<int>(attributes.size()));
    std::vector<std::string_view> pieces;
    std::size_t start = 0;
    const char* at = paragraph.data();
    for (int character = 1; character < characters; ++character) {
        at = g_utf8_next_char(at);
        if (!attributes[static_cast<std::size_t>(character)].is_line_break)
            continue;
        const auto offset = static_cast<std::size_t>(at - paragraph.data());
        pieces.push_back(paragraph.substr(start, offset - start));
        start = offset;
    }
    pieces.push_back(paragraph.substr(start));
    return pieces;
}

std::string withoutTrailingSpaces(std::string line) {
    line.erase(line.find_last_not_of(" \t") + 1);
    return line;
}

} // namespace

std::vector<std::string> wrapText(const std::string& text, double width,
                                  const std::function<double(const std::string&)>& measure) {
    std::vector<std::string> lines;
    std::istringstream paragraphs(text);
    for (std::string paragraph; std::getline(paragraphs, paragraph);) {
        // Text that is not UTF-8 has no break rules to follow: one line.
        if (!g_utf8_validate(paragraph.data(), static_cast<gssize>(paragraph.size()), nullptr)) {
            lines.push_back(paragraph);
            continue;
        }
        const auto leading = paragraph.find_first_not_of(" \t");
        std::string line;
        for (auto piece : breakablePieces(
                 std::string_view(paragraph).substr(std::min(leading, paragraph.size())))) {
            std::string candidate = line + std::string(piece);
            if (!line.empty() && measure(withoutTrailingSpaces(candidate)) > width) {
                lines.push_back(withoutTrailingSpaces(std::move(line)));
                line = std::string(piece);
            } else {
                line = std::move(candidate);
            }
        }
        lines.push_back(withoutTrailingSpaces(std::move(line)));
    }
    return lines;
}

AlertButton::AlertButton(std::string title, bool isDefault, std::function<void()> pressed)
    : View({0, 0,
            std::max(minimumButtonWidth,
                     std::ceil(measureWith(buttonAttributes(gfx::Color::label()), title)) +
                         buttonTextPadding),
            buttonHeight}),
      title_(std::move(title)), isDefault_(isDefault), pressed_(std::move(pressed)) {
    setAccessibilityElement(true);
    setAccessibilityRole(AccessibilityRole::button);
    setAccessibilityLabel(title_);
}

bool AlertButton::accessibilityPerformPress() {
    if (pressed_)
        pressed_();
    return true;
}

void AlertButton::drawRect(gfx::Context& context, const gfx::Rect&) {
    const bool dark = context.appearance() == gfx::Appearance::dark;
    const gfx::Rect shape = bounds().insetBy(0.5, 0.5);
    if (isDefault_) {
        context.setFillColor(pressing_ ? accent.blended(0.2, gfx::Color::black()) : accent);
    } else {
        context.setFillColor(dark ? gfx::Color::grey(0.35) : gfx::Color::white());
    }
    context.fill(gfx::Path::roundedRect(shape, 5, 5));
    context.setStrokeColor(gfx::Color::grey(0, 0.15));
    context.setLineWidth(1);
    context.stroke(gfx::Path::roundedRect(shape, 5, 5));
    const auto attributes =
        buttonAttributes(isDefault_ ? gfx::Color::white() : gfx::Color::label());
    const gfx::Size text = gfx::textSize(title_, attributes);
    gfx::drawText(context, title_,
                  {bounds().midX() - text.width / 2, bounds().midY() - text.height / 2},
                  attributes);
}

void AlertButton::mouseDown(const Event&) {
    pressing_ = true;
    setNeedsDisplay(true);
}

void AlertButton::mouseUp(const Event& event) {
    const bool wasPressing = pressing_;
    pressing_ = false;
    setNeedsDisplay(true);
    const gfx::Point local = convertPointFromView(event.locationInWindow(), nullptr);
    if (wasPressing && bounds().contains(local) && pressed_)
        pressed_();
}

Alert::Alert() = default;

Alert::~Alert() {
    if (window_)
        window_->orderOut();
}

std::shared_ptr<AlertButton> Alert::addButton(std::string title) {
    const long response = ModalResponse::alertFirstButton + long(buttons_.size());
    auto button = std::make_shared<AlertButton>(std::move(title), buttons_.empty(),
                                                [this, response] { respond(response); });
    buttons_.push_back(button);
    return button;
}

void Alert::respond(long response) {
    if (!response_)
        response_ = response;
}

long Alert::runModal() {
    Application& app = Application::shared();
    if (buttons_.empty())
        addButton("OK");
    response_.reset();

    const double textWidth = alertWidth - 2 * padding;
    auto message = wrapText(messageText_, textWidth, [](const std::string& line) {
        return measureWith(messageAttributes(), line);
    });
    auto informative = wrapText(informativeText_, textWidth, [](const std::string& line) {
        return measureWith(informativeAttributes(), line);
    });
    auto linesHeight = [](const std::vector<std::string>& lines,
                          const gfx::TextAttributes& attributes) {
        double total = 0;
        for (const auto& line : lines)
            total += gfx::textSize(line.empty() ? " " : line, attributes).height;
        return total;
    };
    const double height = std::ceil(padding + linesHeight(message, messageAttributes()) +
                                    messageGap + linesHeight(informative, informativeAttributes()) +
                                    padding + buttonHeight + padding);

    gfx::Rect frame{0, 0, alertWidth, height};
    if (auto screen = Screen::mainScreen()) {
        const gfx::Rect area = screen->visibleFrame();
        frame.origin = {std::round(area.midX() - alertWidth / 2),
                        std::round(area.minY() + area.height() * 2 / 3 - height / 2)};
    }
    window_ = std::make_shared<AlertWindow>(frame, Style::titled);
    window_->setLevel(WindowLevel::modalPanel);
    window_->setReleasedWhenClosed(false);
    auto content = std::make_shared<AlertContentView>(gfx::Rect{{0, 0}, frame.size}, message,
                                                      informative, buttons_);
    // What the alert says, for assistive clients: it draws its text itself.
    content->setAccessibilityLabel(messageText_);
    content->setAccessibilityValue(informativeText_);
    double right = alertWidth - padding;
    for (auto& button : buttons_) {
        right -= button->frame().width();
        button->setFrameOrigin({right, padding});
        right -= buttonGap;
        content->addSubview(button);
    }
    window_->setContentView(content);
    window_->makeKeyAndOrderFront();
    window_->makeFirstResponder(content.get());

    Window* outerModal = app.modalWindow();
    app.setModalWindow(window_.get());
    app.windowServer().modalSessionBegan(window_->windowNumber().value_or(0));
    app.runLoop().runNested(dispatch::RunLoopMode::modalPanel,
                            [&] { return !response_ && !app.isTerminating(); });
    app.setModalWindow(outerModal);
    window_->orderOut();
    window_->setContentView(nullptr);
    window_.reset();
    return response_.value_or(ModalResponse::abort);
}

} // namespace ui
