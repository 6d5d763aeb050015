#include "updates/SupportFeedback.h"

#include "model/LinkOpening.h"
#include "platform/foundation/Bundle.h"
#include "platform/foundation/ProcessInfo.h"
#include "platform/graphics/AttributedString.h"
#include "platform/graphics/Context.h"
#include "platform/toolkit/Alert.h"
#include "platform/toolkit/Application.h"
#include "platform/toolkit/Pasteboard.h"
#include "platform/toolkit/Screen.h"
#include "platform/toolkit/TextView.h"
#include "platform/toolkit/Window.h"
#include "platform/toolkit/Workspace.h"
#include "updates/FeedbackButton.h"
#include "updates/FeedbackReport.h"
#include "updates/WindowCloseButton.h"

#include <cmath>
#include <glib.h>

namespace pulsedeck {

namespace {

constexpr gfx::Size contentSize{480, 370};
// Our windows carry no decoration of the window manager's: the panel draws its own title bar
// above the content.
constexpr double titleBarHeight = 28;
constexpr gfx::Point closeButtonInset{10, 7};

gfx::Color panelBackground() {
    return gfx::Color::dynamic(gfx::Color::grey(0.95), gfx::Color::grey(0.17));
}

// A label of one style, wrapped to its width and drawn from its top down.
class TextLabel final : public ui::View {
public:
    TextLabel(const gfx::Rect& frame, gfx::TextAttributes attributes)
        : View(frame), attributes_(std::move(attributes)) {
        setAccessibilityElement(true);
        setAccessibilityRole(ui::AccessibilityRole::staticText);
    }

    void setText(std::string text) {
        setAccessibilityValue(text);
        text_ = std::move(text);
        setNeedsDisplay(true);
    }

protected:
    void drawRect(gfx::Context& context, const gfx::Rect&) override {
        double top = bounds().maxY();
        const auto lines = ui::wrapText(text_, bounds().width(), [&](const std::string& line) {
            return gfx::textSize(line, attributes_).width;
        });
        for (const auto& line : lines) {
            top -= gfx::textSize(line.empty() ? " " : line, attributes_).height;
            gfx::drawText(context, line, gfx::Point{0, top}, attributes_);
        }
    }

private:
    gfx::TextAttributes attributes_;
    std::string text_;
};

// The panel's title, centred, and a close button at its left end.
class TitleBar final : public ui::View {
public:
    TitleBar(const gfx::Rect& frame, std::string title) : View(frame), title_(std::move(title)) {
        addSubview(std::make_shared<WindowCloseButton>(*this, closeButtonInset));
    }

protected:
    void drawRect(gfx::Context& context, const gfx::Rect&) override {
        context.setFillColor(gfx::Color::separator());
        context.fillRect({0, 0, bounds().width(), 1});
        const gfx::TextAttributes attributes{gfx::Font::system(13, gfx::FontWeight::semibold),
                                             gfx::Color::label()};
        const gfx::Size size = gfx::textSize(title_, attributes);
        gfx::drawText(
            context, title_,
            {std::round((bounds().width() - size.width) / 2), bounds().midY() - size.height / 2},
            attributes);
    }

    void mouseDown(const ui::Event&) override {}

private:
    std::string title_;
};

// The panel's background; Escape anywhere in it closes the panel.
class PanelContentView final : public ui::View {
public:
    PanelContentView(const gfx::Rect& frame, std::function<void()> close)
        : View(frame), close_(std::move(close)) {}

protected:
    void drawRect(gfx::Context& context, const gfx::Rect&) override {
        context.setFillColor(panelBackground());
        context.fillRect(bounds());
    }
    void keyDown(const ui::Event& event) override {
        if (event.keyCode() == ui::KeyCode::escape && close_)
            close_();
    }

private:
    std::function<void()> close_;
};

class FeedbackWindow final : public ui::Window {
public:
    using Window::Window;
    bool canBecomeKeyWindow() const override { return true; }
};

bool isBlank(const std::string& text) {
    for (char c : text)
        if (!g_ascii_isspace(c))
            return false;
    return true;
}

} // namespace

SupportFeedback::SupportFeedback(std::optional<std::string> shortVersion, std::string systemLine)
    : shortVersion_(std::move(shortVersion)), systemLine_(std::move(systemLine)),
      message_(std::make_shared<ui::TextView>(gfx::Rect{0, 0, 432, 160})),
      statusLabel_(std::make_shared<TextLabel>(
          gfx::Rect{24, 14, 432, 30},
          gfx::TextAttributes{gfx::Font::system(11), gfx::Color::secondaryLabel()})) {
    message_->setFont(gfx::Font::system(13));
    message_->setTextContainerInset({12, 12});
    message_->setCornerRadius(10);
}

SupportFeedback::~SupportFeedback() {
    if (panel_) {
        panel_->orderOut();
        panel_->setContentView(nullptr);
    }
}

SupportFeedback& SupportFeedback::shared() {
    // Never destroyed: its panel belongs to the application, which is gone by the time static
    // objects are.
    static auto* feedback =
        new SupportFeedback(foundation::Bundle::main().shortVersion(),
                            foundation::OperatingSystemInfo::read().versionString);
    return *feedback;
}

std::string SupportFeedback::report() const {
    return feedbackReport(shortVersion_, systemLine_, message_->string());
}

void SupportFeedback::show(AppLanguage language) {
    language_ = language;
    if (!panel_) {
        build();
        if (auto screen = ui::Screen::mainScreen()) {
            const gfx::Rect area = screen->visibleFrame();
            const gfx::Size size = panel_->frame().size;
            panel_->setFrameOrigin({std::round(area.midX() - size.width / 2),
                                    std::round(area.midY() - size.height / 2)});
        }
    }
    panel_->makeKeyAndOrderFront();
    panel_->makeFirstResponder(message_.get());
    ui::Application::shared().activateIgnoringOtherApps(true);
}

void SupportFeedback::build() {
    const gfx::Rect frame{0, 0, contentSize.width, contentSize.height + titleBarHeight};
    panel_ = std::make_shared<FeedbackWindow>(frame, ui::Style::titled | ui::Style::closable);
    panel_->setReleasedWhenClosed(false);
    const std::string title = "Pulsedeck — " + text(Copy::feedback, language_);
    panel_->setTitle(title);
    std::weak_ptr<ui::Window> weakPanel = panel_;
    auto close = [weakPanel] {
        if (auto panel = weakPanel.lock())
            panel->close();
    };
    auto content = std::make_shared<PanelContentView>(frame, close);
    content->addSubview(std::make_shared<TitleBar>(
        gfx::Rect{0, contentSize.height, contentSize.width, titleBarHeight}, title));

    auto heading = std::make_shared<TextLabel>(
        gfx::Rect{24, 312, 430, 28},
        gfx::TextAttributes{gfx::Font::system(20, gfx::FontWeight::semibold), gfx::Color::label()});
    heading->setText(text(Copy::feedbackMessage, language_));
    content->addSubview(heading);
    auto hint = std::make_shared<TextLabel>(
        gfx::Rect{24, 270, 432, 34},
        gfx::TextAttributes{gfx::Font::system(12), gfx::Color::secondaryLabel()});
    hint->setText(text(Copy::feedbackHint, language_));
    content->addSubview(hint);

    message_->setFrame({24, 100, 432, 160});
    message_->setAccessibilityLabel(text(Copy::feedbackMessage, language_));
    content->addSubview(message_);

    struct ButtonLayout {
        Copy title;
        void (SupportFeedback::*action)();
        double x, width;
        bool primary;
    };
    const ButtonLayout buttons[] = {
        {Copy::feedbackSend, &SupportFeedback::send, 24, 178, true},
        {Copy::feedbackCopy, &SupportFeedback::copyReport, 210, 136, false},
        {Copy::feedbackSupport, &SupportFeedback::openSupport, 354, 102, false},
    };
    for (const auto& layout : buttons) {
        auto button = std::make_shared<FeedbackButton>(
            gfx::Rect{layout.x, 50, layout.width, 34}, text(layout.title, language_),
            [this, action = layout.action] { (this->*action)(); });
        button->primary = layout.primary;
        content->addSubview(button);
    }
    content->addSubview(statusLabel_);
    panel_->setContentView(content);
}

void SupportFeedback::send() {
    if (isBlank(message_->string())) {
        if (panel_)
            panel_->makeFirstResponder(message_.get());
        return;
    }
    std::string mail = report();
    // The handler reports back off the main thread; a refusal, a missing handler or a link too
    // long for its command line all take the same way out as no handler at all.
    ui::Workspace::shared().openURL(feedbackMailURL(mail),
                                    [this, alive = std::weak_ptr<int>(alive_), mail](bool opened) {
                                        if (opened || alive.expired())
                                            return;
                                        putOnClipboard(mail);
                                        openSupport();
                                    });
}

void SupportFeedback::copyReport() {
    putOnClipboard(report());
}

void SupportFeedback::openSupport() {
    if (auto url = supportPageURL())
        openLinkTellingOfFailure(*url,
                                 [language = language_](Copy key) { return text(key, language); });
}

void SupportFeedback::putOnClipboard(const std::string& report) {
    ui::Pasteboard clipboard = ui::Pasteboard::general();
    clipboard.clearContents();
    clipboard.setString(report);
    setStatus(text(Copy::feedbackCopied, language_));
}

void SupportFeedback::setStatus(std::string text) {
    status_ = std::move(text);
    static_cast<TextLabel&>(*statusLabel_).setText(status_);
}

} // namespace pulsedeck
