#include "updates/MenuBarTipWindow.h"

#include "platform/dispatch/RunLoop.h"
#include "platform/graphics/AttributedString.h"
#include "platform/graphics/Context.h"
#include "platform/toolkit/Alert.h"
#include "platform/toolkit/ImageView.h"
#include "platform/toolkit/Screen.h"
#include "updates/MenuBarTipDemo.h"
#include "updates/WindowCloseButton.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <utility>
#include <vector>

namespace pulsedeck {

namespace {

constexpr double tipWidth = 420;
constexpr double insetTop = 28;
constexpr double insetSide = 28;
constexpr double insetBottom = 22;
constexpr double columnWidth = tipWidth - 2 * insetSide;
constexpr double spacing = 10;
constexpr double spacingAfterBody = 16;
constexpr double spacingAfterDemo = 18;
constexpr double iconSize = 56;
constexpr gfx::Size demoSize{364, 101.92};
constexpr gfx::Point closeButtonInset{12, 12};
// Between the tip and a window it stands clear of.
constexpr double clearance = 12;

// Centred lines wrapped to the column at the places the text engine allows a break, so
// Chinese and Japanese, which have no spaces, wrap too.
class WrappingLabel final : public ui::View {
public:
    WrappingLabel(const std::string& text, gfx::TextAttributes attributes)
        : attributes_(std::move(attributes)),
          lines_(ui::wrapText(text, columnWidth, [this](const std::string& line) {
              return gfx::textSize(line, attributes_).width;
          })) {
        double height = 0;
        for (const auto& line : lines_)
            height += lineHeight(line);
        setFrameSize({columnWidth, std::ceil(height)});
        setAccessibilityElement(true);
        setAccessibilityRole(ui::AccessibilityRole::staticText);
        setAccessibilityValue(text);
    }

protected:
    void drawRect(gfx::Context& context, const gfx::Rect&) override {
        double top = bounds().maxY();
        for (const auto& line : lines_) {
            top -= lineHeight(line);
            const double width = gfx::textSize(line, attributes_).width;
            gfx::drawText(context, line, gfx::Point{std::round((columnWidth - width) / 2), top},
                          attributes_);
        }
    }

private:
    double lineHeight(const std::string& line) const {
        return gfx::textSize(line.empty() ? " " : line, attributes_).height;
    }

    gfx::TextAttributes attributes_;
    std::vector<std::string> lines_;
};

// The window's content: Return presses the button, as its key equivalent.
class TipContentView final : public ui::View {
public:
    explicit TipContentView(std::function<void()> pressReturn)
        : pressReturn_(std::move(pressReturn)) {}

protected:
    void keyDown(const ui::Event& event) override {
        if (event.keyCode() == ui::KeyCode::returnKey && pressReturn_) {
            pressReturn_();
            return;
        }
        View::keyDown(event);
    }

private:
    std::function<void()> pressReturn_;
};

// One row of the vertical stack: a view of its own size, centred in the column, and the space
// below it.
struct StackRow {
    std::shared_ptr<ui::View> view;
    double spacingAfter;
};

// Lays the rows out top down in a container of the tip's width and answers its fitting height,
// rounded up to a whole point: a window's backing holds whole pixels, and a fractional height
// would draw everything in it a hair off scale.
double stackRows(ui::View& container, const std::vector<StackRow>& rows) {
    double height = insetTop + insetBottom;
    for (const auto& row : rows)
        height += row.view->frame().height() + (&row == &rows.back() ? 0 : row.spacingAfter);
    height = std::ceil(height);
    container.setFrameSize({tipWidth, height});
    double top = height - insetTop;
    for (const auto& row : rows) {
        const gfx::Size size = row.view->frame().size;
        top -= size.height;
        row.view->setFrameOrigin({insetSide + (columnWidth - size.width) / 2, top});
        top -= row.spacingAfter;
        container.addSubview(row.view);
    }
    return height;
}

} // namespace

MenuBarTipWindow::MenuBarTipWindow(AppLanguage language, gfx::Image icon) {
    auto iconView = std::make_shared<ui::ImageView>(gfx::Rect{0, 0, iconSize, iconSize});
    iconView->setImageScaling(ui::ImageScaling::proportionallyUpOrDown);
    iconView->setImage(std::move(icon));

    auto title = std::make_shared<WrappingLabel>(
        text(Copy::welcomeTitle, language),
        gfx::TextAttributes{gfx::Font::system(20, gfx::FontWeight::semibold), gfx::Color::label()});
    auto body = std::make_shared<WrappingLabel>(
        text(Copy::welcomeBody, language),
        gfx::TextAttributes{gfx::Font::system(13), gfx::Color::secondaryLabel()});

    demo_ = std::make_shared<MenuBarTipDemo>(gfx::Rect{{0, 0}, demoSize});
    demo_->language = language;

    auto button = std::make_shared<ui::AlertButton>(text(Copy::welcomeOK, language), true,
                                                    [this] { done(); });
    auto buttonRow =
        std::make_shared<ui::View>(gfx::Rect{0, 0, columnWidth, button->frame().height()});
    button->setFrameOrigin({columnWidth - button->frame().width(), 0});
    buttonRow->addSubview(button);

    auto content = std::make_shared<TipContentView>([this] { done(); });
    const double height = stackRows(*content, {{iconView, spacing},
                                               {title, spacing},
                                               {body, spacingAfterBody},
                                               {demo_, spacingAfterDemo},
                                               {buttonRow, 0}});
    content->addSubview(std::make_shared<WindowCloseButton>(*content, closeButtonInset));

    gfx::Rect frame{0, 0, tipWidth, height};
    if (auto screen = ui::Screen::mainScreen()) {
        const gfx::Rect area = screen->visibleFrame();
        frame.origin = {std::round(area.midX() - tipWidth / 2),
                        std::round(area.midY() - height / 2)};
    }
    window_ = std::make_shared<ui::Window>(frame, ui::Style::titled | ui::Style::closable |
                                                      ui::Style::fullSizeContentView);
    window_->setReleasedWhenClosed(false);
    window_->setLevel(ui::WindowLevel::floating);
    window_->setTitle("Pulsedeck");
    window_->setBackgroundColor(
        gfx::Color::dynamic(gfx::Color::grey(0.95), gfx::Color::grey(0.17)));
    window_->setContentView(content);
    window_->orderedOutAction = [this] { windowOrderedOut(); };
}

MenuBarTipWindow::~MenuBarTipWindow() {
    window_->orderedOutAction = nullptr;
    window_->orderOut();
    window_->setContentView(nullptr);
}

void MenuBarTipWindow::done() {
    window_->close();
}

bool MenuBarTipWindow::standClearOf(const gfx::Rect& covered) {
    const auto screen = ui::Screen::mainScreen();
    gfx::Rect frame = window_->frame();
    if (!screen || !frame.intersects(covered))
        return true;
    const gfx::Rect area = screen->visibleFrame();
    if (covered.minX() - area.minX() >= area.maxX() - covered.maxX())
        frame.origin.x =
            std::max(area.minX(), std::floor(covered.minX() - clearance - frame.width()));
    else
        frame.origin.x =
            std::min(area.maxX() - frame.width(), std::ceil(covered.maxX() + clearance));
    if (frame.intersects(covered))
        return false;
    window_->setFrameOrigin(frame.origin);
    return true;
}

void MenuBarTipWindow::windowOrderedOut() {
    // `finish` may drop this object and so the window being closed: it runs once the close has
    // unwound. The demo has stopped its clock already, as its window no longer shows.
    if (auto finished = std::exchange(finish, nullptr))
        dispatch::mainQueue().async(std::move(finished));
}

} // namespace pulsedeck
