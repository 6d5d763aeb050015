#include "platform/toolkit/x11/X11Clipboard.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <cstdint>
#include <vector>

namespace ui::x11 {

namespace {

constexpr double readTimeLimit = 1.0;

// The text as ISO Latin-1 for the old STRING target; characters beyond it become "?".
std::string latin1(const std::string& utf8) {
    std::string out;
    for (std::size_t i = 0; i < utf8.size();) {
        const auto lead = static_cast<unsigned char>(utf8[i]);
        std::size_t length = lead < 0x80 ? 1 : (lead >> 5) == 6 ? 2 : (lead >> 4) == 14 ? 3 : 4;
        if (length == 2 && i + 1 < utf8.size()) {
            const unsigned code = ((lead & 0x1fu) << 6) | (utf8[i + 1] & 0x3f);
            out += code <= 0xff ? char(code) : '?';
        } else {
            out += length == 1 ? utf8[i] : '?';
        }
        i += length;
    }
    return out;
}

} // namespace

X11Clipboard::X11Clipboard(Display* display, unsigned long root, dispatch::RunLoop& loop)
    : display_(display), loop_(loop) {
    XSetWindowAttributes attributes{};
    attributes.event_mask = PropertyChangeMask;
    window_ = XCreateWindow(display_, root, -10, -10, 1, 1, 0, 0, InputOnly, CopyFromParent,
                            CWEventMask, &attributes);
    clipboard_ = XInternAtom(display_, "CLIPBOARD", False);
    targets_ = XInternAtom(display_, "TARGETS", False);
    utf8_ = XInternAtom(display_, "UTF8_STRING", False);
    text_ = XInternAtom(display_, "TEXT", False);
    plain_ = XInternAtom(display_, "text/plain;charset=utf-8", False);
    incr_ = XInternAtom(display_, "INCR", False);
    property_ = XInternAtom(display_, "PULSEDECK_CLIPBOARD", False);
}

X11Clipboard::~X11Clipboard() {
    XDestroyWindow(display_, window_);
}

void X11Clipboard::setText(std::optional<std::string> text) {
    owned_ = std::move(text);
    XSetSelectionOwner(display_, clipboard_, owned_ ? window_ : None, CurrentTime);
    if (owned_ && XGetSelectionOwner(display_, clipboard_) != window_)
        owned_.reset();
    XFlush(display_);
}

void X11Clipboard::requestText(std::function<void(std::optional<std::string>)> completion) {
    if (owned_ || XGetSelectionOwner(display_, clipboard_) == None) {
        loop_.queue().async(
            [text = owned_, completion = std::move(completion)] { completion(text); });
        return;
    }
    reads_.push_back(std::move(completion));
    if (reads_.size() > 1)
        return;
    XConvertSelection(display_, clipboard_, utf8_, property_, window_, CurrentTime);
    XFlush(display_);
    const std::uint64_t generation = ++readGeneration_;
    loop_.queue().asyncAfter(readTimeLimit, [this, alive = std::weak_ptr<int>(alive_), generation] {
        if (!alive.expired() && generation == readGeneration_ && !reads_.empty())
            finishRead(std::nullopt);
    });
}

void X11Clipboard::finishRead(std::optional<std::string> text) {
    ++readGeneration_;
    auto completion = std::move(reads_.front());
    reads_.pop_front();
    completion(std::move(text));
    if (!reads_.empty()) {
        auto next = std::move(reads_.front());
        reads_.pop_front();
        requestText(std::move(next));
    }
}

bool X11Clipboard::handleEvent(XEvent& event) {
    switch (event.type) {
    case SelectionRequest:
        if (event.xselectionrequest.owner != window_)
            return false;
        answer(event);
        return true;
    case SelectionClear:
        if (event.xselectionclear.window != window_)
            return false;
        // Giving the clipboard up and taking it again (a copy clears it first) leaves the clear
        // of the first on its way after the second took it: only a clear that left the
        // selection to someone else ends what we hold.
        if (event.xselectionclear.selection == clipboard_ &&
            XGetSelectionOwner(display_, clipboard_) != window_)
            owned_.reset();
        return true;
    case SelectionNotify: {
        if (event.xselection.requestor != window_)
            return false;
        if (reads_.empty())
            return true;
        std::optional<std::string> text;
        if (event.xselection.property != None) {
            Atom type = None;
            int format = 0;
            unsigned long count = 0, after = 0;
            unsigned char* data = nullptr;
            // Up to 16 MB in one read; a larger or incremental transfer is not taken.
            if (XGetWindowProperty(display_, window_, property_, 0, 1L << 22, True, AnyPropertyType,
                                   &type, &format, &count, &after, &data) == Success &&
                data) {
                if (type != incr_ && format == 8 && after == 0)
                    text = std::string(reinterpret_cast<const char*>(data), count);
                XFree(data);
            }
        }
        finishRead(std::move(text));
        return true;
    }
    case PropertyNotify:
        return event.xproperty.window == window_;
    default:
        return false;
    }
}

void X11Clipboard::answer(XEvent& event) {
    const XSelectionRequestEvent& request = event.xselectionrequest;
    XSelectionEvent reply{};
    reply.type = SelectionNotify;
    reply.display = display_;
    reply.requestor = request.requestor;
    reply.selection = request.selection;
    reply.target = request.target;
    reply.time = request.time;
    // Clients from before ICCCM 2 name no property: the target stands in for it.
    const Atom property = request.property != None ? request.property : request.target;
    reply.property = None;
    // The largest property one request can carry, less room for the request itself.
    const long maximumBytes = XExtendedMaxRequestSize(display_) > 0
                                  ? XExtendedMaxRequestSize(display_) * 4 - 1024
                                  : XMaxRequestSize(display_) * 4 - 1024;
    if (owned_ && request.selection == clipboard_) {
        if (request.target == targets_) {
            const Atom targets[] = {targets_, utf8_, plain_, text_, XA_STRING};
            XChangeProperty(display_, request.requestor, property, XA_ATOM, 32, PropModeReplace,
                            reinterpret_cast<const unsigned char*>(targets), 5);
            reply.property = property;
        } else if (request.target == utf8_ || request.target == text_ || request.target == plain_ ||
                   request.target == XA_STRING) {
            const std::string data = request.target == XA_STRING ? latin1(*owned_) : *owned_;
            if (long(data.size()) <= maximumBytes) {
                XChangeProperty(display_, request.requestor, property,
                                request.target == XA_STRING ? XA_STRING : utf8_, 8, PropModeReplace,
                                reinterpret_cast<const unsigned char*>(data.data()),
                                int(data.size()));
                reply.property = property;
            }
        }
    }
    XSendEvent(display_, request.requestor, False, NoEventMask, reinterpret_cast<XEvent*>(&reply));
    XFlush(display_);
}

} // namespace ui::x11
