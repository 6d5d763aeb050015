#pragma once

#include "platform/dispatch/RunLoop.h"

#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>

struct _XDisplay;
union _XEvent;

namespace ui::x11 {

// The CLIPBOARD selection: owned through a window of its own while the application has put text
// there, answering other programs' requests (TARGETS, UTF8_STRING, STRING, TEXT and
// text/plain;charset=utf-8), and read from whichever program owns it otherwise. A read that gets
// no answer within a second ends empty. Main thread only.
class X11Clipboard {
public:
    X11Clipboard(_XDisplay* display, unsigned long root, dispatch::RunLoop& loop);
    ~X11Clipboard();
    X11Clipboard(const X11Clipboard&) = delete;
    X11Clipboard& operator=(const X11Clipboard&) = delete;

    // Takes the selection for the text, or gives it up when there is none.
    void setText(std::optional<std::string> text);
    void requestText(std::function<void(std::optional<std::string>)> completion);

    // Takes the selection events meant for the clipboard; answers whether the event was one.
    bool handleEvent(_XEvent& event);

private:
    void answer(_XEvent& request);
    void finishRead(std::optional<std::string> text);

    _XDisplay* display_;
    dispatch::RunLoop& loop_;
    unsigned long window_ = 0;
    unsigned long clipboard_, targets_, utf8_, text_, plain_, incr_, property_;
    std::optional<std::string> owned_;
    // Reads are asked one at a time; the first waits for its answer or its time limit.
    std::deque<std::function<void(std::optional<std::string>)>> reads_;
    std::uint64_t readGeneration_ = 0;
    std::shared_ptr<int> alive_ = std::make_shared<int>(0);
};

} // namespace ui::x11
