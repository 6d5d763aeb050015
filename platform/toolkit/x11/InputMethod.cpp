#include "platform/toolkit/x11/InputMethod.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <vector>

namespace ui::x11 {

std::unique_ptr<InputMethod> InputMethod::open(Display* display) {
    if (!XSupportsLocale())
        return nullptr;
    // Takes the input method named by XMODIFIERS, else the locale's built-in one.
    XSetLocaleModifiers("");
    XIM method = XOpenIM(display, nullptr, nullptr, nullptr);
    if (!method) {
        XSetLocaleModifiers("@im=none");
        method = XOpenIM(display, nullptr, nullptr, nullptr);
    }
    if (!method)
        return nullptr;
    return std::unique_ptr<InputMethod>(new InputMethod(method));
}

InputMethod::~InputMethod() {
    for (auto& [window, context] : contexts_)
        XDestroyIC(context);
    XCloseIM(method_);
}

XIC InputMethod::contextFor(unsigned long window) {
    if (auto found = contexts_.find(window); found != contexts_.end())
        return found->second;
    // The text is shown by our own views: no pre-edit or status area of the input method's.
    XIC context = XCreateIC(method_, XNInputStyle, XIMPreeditNothing | XIMStatusNothing,
                            XNClientWindow, window, XNFocusWindow, window, nullptr);
    if (context)
        contexts_[window] = context;
    return context;
}

bool InputMethod::filter(XEvent& event) {
    return XFilterEvent(&event, None) == True;
}

std::optional<std::string> InputMethod::lookup(XEvent& keyPress) {
    XKeyEvent& key = keyPress.xkey;
    XIC context = contextFor(key.window);
    if (!context)
        return std::nullopt;
    std::vector<char> buffer(64);
    KeySym symbol = NoSymbol;
    Status status = 0;
    int length =
        Xutf8LookupString(context, &key, buffer.data(), int(buffer.size()), &symbol, &status);
    if (status == XBufferOverflow) {
        buffer.resize(std::size_t(length) + 1);
        length =
            Xutf8LookupString(context, &key, buffer.data(), int(buffer.size()), &symbol, &status);
    }
    if (status != XLookupChars && status != XLookupBoth)
        return std::string();
    return std::string(buffer.data(), std::size_t(length));
}

void InputMethod::windowGainedFocus(unsigned long window) {
    if (XIC context = contextFor(window))
        XSetICFocus(context);
}

void InputMethod::windowDestroyed(unsigned long window) {
    if (auto found = contexts_.find(window); found != contexts_.end()) {
        XDestroyIC(found->second);
        contexts_.erase(found);
    }
}

} // namespace ui::x11
