#include "updates/MenuBarTipWindow.h"

#include "platform/dispatch/RunLoop.h"
#include "platform/graphics/AttributedString.h"
#include "platform/graphics/Context.h"
#include "platform/toolkit/Alert.h"
#include "platform/toolkit/Screen.h"

#include <cmath>
#include <string>
#include <vector>

namespace pulsedeck {

namespace {

constexpr double tipWidth = 380;
constexpr double padding = 20;
constexpr double titleGap = 8;
constexpr double buttonHeight = 24;

gfx::TextAttributes titleAttributes() {
    return {gfx::Font::system(15, gfx::FontWeight::bold), gfx::Color::label()};
}

gfx::TextAttributes bodyAttributes() {
    return {gfx::Font::system(12), gfx::Color::secondaryLabel()};
}

double linesHeight(const std::vector<std::string>& lines, const gfx::TextAttributes& attributes) {
    double total = 0;
    for (const auto& line : lines)
        total += gfx::textSize(line.empty() ? " " : line, attributes).height;
    return total;
}

std::vector<std::string> wrapped(const std::string& text, const gfx::TextAttributes& attributes) {
    return ui::wrapText(text, tipWidth - 2 * padding, [&](const std::string& line) {
        return gfx::textSize(line, attributes).width;
    });
}

// The title and text, top down; the OK button is a subview.
class TipContentView final : public ui::View {
public:
    TipContentView(const gfx::Rect& frame, std::vector<std::string> title,
                   std::vector<std::string> body)
        : View(frame), title_(std::move(title)), body_(std::move(body)) {}

protected:
    void drawRect(gfx::Context& context, const gfx::Rect&) override {
        double top = bounds().maxY() - padding;
        auto drawLines = [&](const std::vector<std::string>& lines,
                             const gfx::TextAttributes& attributes) {
            for (const auto& line : lines) {
                const double height = gfx::textSize(line.empty() ? " " : line, attributes).height;
                top -= height;
                gfx::drawText(context, line, gfx::Point{padding, top}, attributes);
            }
        };
        drawLines(title_, titleAttributes());
        top -= titleGap;
        drawLines(body_, bodyAttributes());
    }

private:
    std::vector<std::string> title_;
    std::vector<std::string> body_;
};

} // namespace

MenuBarTipWindow::MenuBarTipWindow(AppLanguage language) {
    auto title = wrapped(text(Copy::welcomeTitle, language), titleAttributes());
    auto body = wrapped(text(Copy::welcomeBody, language), bodyAttributes());
    const double height =
        std::ceil(padding + linesHeight(title, titleAttributes()) + titleGap +
                  linesHeight(body, bodyAttributes()) + padding + buttonHeight + padding);

    gfx::Rect frame{0, 0, tipWidth, height};
    if (auto screen = ui::Screen::mainScreen()) {
        const gfx::Rect area = screen->visibleFrame();
        frame.origin = {std::round(area.midX() - tipWidth / 2),
                        std::round(area.maxY() - height - padding)};
    }
    window_ = std::make_shared<ui::Window>(frame, ui::Style::titled | ui::Style::closable);
    window_->setReleasedWhenClosed(false);
    auto content = std::make_shared<TipContentView>(gfx::Rect{{0, 0}, frame.size}, std::move(title),
                                                    std::move(body));
    auto ok = std::make_shared<ui::AlertButton>(text(Copy::welcomeOK, language), true,
                                                [this] { dismiss(); });
    ok->setFrameOrigin({tipWidth - padding - ok->frame().width(), padding});
    content->addSubview(ok);
    window_->setContentView(content);
}

MenuBarTipWindow::~MenuBarTipWindow() {
    if (window_) {
        window_->orderOut();
        window_->setContentView(nullptr);
    }
}

void MenuBarTipWindow::dismiss() {
    window_->close();
    // `finish` may drop this object and so the button being pressed: it runs once the press
    // has unwound.
    if (auto done = std::move(finish))
        dispatch::mainQueue().async(std::move(done));
}

} // namespace pulsedeck
