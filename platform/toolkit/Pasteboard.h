#pragma once

#include <functional>
#include <optional>
#include <string>

namespace ui {

class WindowServer;

// The general pasteboard: the desktop's clipboard (the X11 CLIPBOARD selection; memory on the
// headless server). It keeps nothing itself; the window server holds what the application put
// there and answers other programs for as long as it owns the clipboard. Main thread only.
class Pasteboard {
public:
    explicit Pasteboard(WindowServer& server) : server_(server) {}

    // The shared application's clipboard.
    static Pasteboard general();

    // Gives up what the application put on the clipboard.
    void clearContents();
    // Puts plain text on the clipboard, for this and every other program.
    void setString(std::string text);
    // The clipboard's plain text, whoever put it there, handed to completion on the main thread;
    // none when the clipboard holds no text or its owner does not answer within a second.
    void readString(std::function<void(std::optional<std::string>)> completion);

private:
    WindowServer& server_;
};

} // namespace ui
