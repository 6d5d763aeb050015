#pragma once

#include "model/Localization.h"

#include <memory>
#include <optional>
#include <string>

namespace ui {
class TextView;
class View;
class Window;
} // namespace ui

namespace pulsedeck {

// The feedback panel: the user writes a message, and the report (product and system versions
// and the message) goes out as a mail through the desktop's mail handler, or onto the clipboard
// with the support page opened when no mail handler takes it. The message and the last status
// text outlive closing the panel. Main thread only.
class SupportFeedback {
public:
    // The report names this version ("—" when none) and system line.
    SupportFeedback(std::optional<std::string> shortVersion, std::string systemLine);
    ~SupportFeedback();
    SupportFeedback(const SupportFeedback&) = delete;
    SupportFeedback& operator=(const SupportFeedback&) = delete;

    // The process's one panel, reporting the running build and the system from its release file.
    static SupportFeedback& shared();

    // Remembers the language for status texts and shows the panel, built in that language on the
    // first show and kept as it is afterwards.
    void show(AppLanguage language);

    void send();
    void copyReport();
    void openSupport();

    std::string report() const;

    const std::shared_ptr<ui::Window>& panel() const { return panel_; }
    ui::TextView& message() const { return *message_; }
    const std::string& status() const { return status_; }

private:
    void build();
    void putOnClipboard(const std::string& report);
    void setStatus(std::string text);

    std::optional<std::string> shortVersion_;
    std::string systemLine_;
    std::shared_ptr<ui::Window> panel_;
    std::shared_ptr<ui::TextView> message_;
    std::shared_ptr<ui::View> statusLabel_;
    std::string status_;
    AppLanguage language_ = AppLanguage::english;
    std::shared_ptr<int> alive_ = std::make_shared<int>(0);
};

} // namespace pulsedeck
