#pragma once

#include <map>
#include <memory>
#include <optional>
#include <string>

struct _XDisplay;
struct _XIM;
struct _XIC;
union _XEvent;

namespace ui::x11 {

// The X input method: dead keys and compose sequences (the locale's own tables when no input
// method server runs), or the text an input method server such as IBus or fcitx commits. Each of
// our windows gets an input context when it first takes a key. Main thread only.
class InputMethod {
public:
    // None when the locale has no input method.
    static std::unique_ptr<InputMethod> open(_XDisplay* display);
    ~InputMethod();
    InputMethod(const InputMethod&) = delete;
    InputMethod& operator=(const InputMethod&) = delete;

    // Hands the event to the input method first; true when it took it (a dead key, a key of an
    // unfinished sequence), and the event must go no further.
    bool filter(_XEvent& event);
    // The text a key press types in its window, composed where a sequence ends on it; empty for
    // a key that types nothing, none when the window has no input context.
    std::optional<std::string> lookup(_XEvent& keyPress);
    void windowGainedFocus(unsigned long window);
    void windowDestroyed(unsigned long window);

private:
    explicit InputMethod(_XIM* method) : method_(method) {}
    _XIC* contextFor(unsigned long window);

    _XIM* method_;
    std::map<unsigned long, _XIC*> contexts_;
};

} // namespace ui::x11
