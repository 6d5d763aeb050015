#pragma once

#include "platform/toolkit/View.h"
#include "platform/toolkit/Window.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace ui {

enum class AlertStyle { warning = 0, informational = 1, critical = 2 };

// Modal responses as fixed numbers: the n-th button added answers 1000 + n.
namespace ModalResponse {
inline constexpr long alertFirstButton = 1000;
inline constexpr long alertSecondButton = 1001;
inline constexpr long alertThirdButton = 1002;
inline constexpr long abort = -1001;
} // namespace ModalResponse

// One of an alert's buttons: a press (click, Return for the first button, Escape for one titled
// "Cancel", or an assistive press) ends the alert with the button's response.
class AlertButton final : public View {
public:
    AlertButton(std::string title, bool isDefault, std::function<void()> pressed);
    const std::string& title() const { return title_; }
    bool accessibilityPerformPress() override;

protected:
    void drawRect(gfx::Context& context, const gfx::Rect& dirty) override;
    void mouseDown(const Event& event) override;
    void mouseUp(const Event& event) override;

private:
    std::string title_;
    bool isDefault_;
    bool pressing_ = false;
    std::function<void()> pressed_;
};

// A message with buttons, run as a modal session: runModal() blocks in the modal-panel run-loop
// mode (timers in the common modes and main-queue work go on) until a button is pressed.
class Alert {
public:
    Alert();
    ~Alert();

    const std::string& messageText() const { return messageText_; }
    void setMessageText(std::string text) { messageText_ = std::move(text); }
    const std::string& informativeText() const { return informativeText_; }
    void setInformativeText(std::string text) { informativeText_ = std::move(text); }
    AlertStyle alertStyle() const { return style_; }
    void setAlertStyle(AlertStyle style) { style_ = style; }

    // Buttons in the order added; the first is the default button, shown rightmost.
    std::shared_ptr<AlertButton> addButton(std::string title);
    const std::vector<std::shared_ptr<AlertButton>>& buttons() const { return buttons_; }

    long runModal();
    // The window while the alert runs.
    const std::shared_ptr<Window>& window() const { return window_; }

private:
    void respond(long response);

    std::string messageText_;
    std::string informativeText_;
    AlertStyle style_ = AlertStyle::warning;
    std::vector<std::shared_ptr<AlertButton>> buttons_;
    std::shared_ptr<Window> window_;
    std::optional<long> response_;
};

// Greedy wrap of text into lines no wider than width with the given measure, at the places the
// text engine allows a line to end (spaces in most languages; between characters in Chinese and
// Japanese, except before closing punctuation). A piece that cannot be cut and is wider than
// width stands on a line of its own; "\n" ends a paragraph.
std::vector<std::string> wrapText(const std::string& text, double width,
                                  const std::function<double(const std::string&)>& measure);

} // namespace ui
