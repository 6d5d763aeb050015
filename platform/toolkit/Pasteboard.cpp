#include "platform/toolkit/Pasteboard.h"

#include "platform/toolkit/Application.h"
#include "platform/toolkit/WindowServer.h"

namespace ui {

Pasteboard Pasteboard::general() {
    return Pasteboard(Application::shared().windowServer());
}

void Pasteboard::clearContents() {
    server_.setClipboardText(std::nullopt);
}

void Pasteboard::setString(std::string text) {
    server_.setClipboardText(std::move(text));
}

void Pasteboard::readString(std::function<void(std::optional<std::string>)> completion) {
    server_.requestClipboardText(std::move(completion));
}

} // namespace ui
