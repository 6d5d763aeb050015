#pragma once

// Header-only, as X11TestSupport.h, which it follows: include it last.

#include "support/X11TestSupport.h"

#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

// clang-format off
#include <X11/extensions/shape.h>
// clang-format on

namespace testsupport {

struct ScriptedWindowManagerOptions {
    bool frames = false;
    // The frame holds the window in a plate of its own, as openbox's does: a new place is the
    // window and the plate resized first, then the frame moved, which tells the window nothing,
    // and the plate shaped anew last, each a step of its own.
    bool plates = false;
    // Maps a window's frame at the root's corner and moves it where the window stood only in a
    // step of its own, as openbox does.
    bool mapsAtTheCorner = false;
    // Claims the compositing manager's selection: the toolkit then draws nothing over a manager's
    // steps.
    bool composites = false;
};

// A window manager the test scripts, on a connection of its own: every map and configure request
// of a top-level window comes to it and waits until the test has it answered, as its script
// says. A framing manager holds each window in a frame of its own and applies a new place in two
// steps the screen shows, its frame (in a loud colour, shaped anew) before the window.
class ScriptedWindowManager {
public:
    using Options = ScriptedWindowManagerOptions;

    static constexpr unsigned long frameColour = 0x00ff00;

    explicit ScriptedWindowManager(const std::string& displayName, Options options = {})
        : display_(XOpenDisplay(displayName.c_str())), options_(options) {
        const ::Window root = DefaultRootWindow(display_);
        XSelectInput(display_, root, SubstructureRedirectMask);
        check_ = XCreateSimpleWindow(display_, root, 0, 0, 1, 1, 0, 0, 0);
        setWindowProperty(display_, root, "_NET_SUPPORTING_WM_CHECK", XA_WINDOW, {long(check_)});
        if (options.composites)
            XSetSelectionOwner(display_, XInternAtom(display_, "_NET_WM_CM_S0", False), check_,
                               CurrentTime);
        XSync(display_, False);
    }
    ~ScriptedWindowManager() {
        XDeleteProperty(display_, DefaultRootWindow(display_),
                        XInternAtom(display_, "_NET_SUPPORTING_WM_CHECK", False));
        XCloseDisplay(display_);
    }
    ScriptedWindowManager(const ScriptedWindowManager&) = delete;
    ScriptedWindowManager& operator=(const ScriptedWindowManager&) = delete;

    // Where a window asked to be mapped shows, given where it stands; none drops the request.
    std::function<std::optional<PixelArea>(const PixelArea& standing)> placeOnMap =
        [](const PixelArea& standing) { return standing; };
    // Where a window shown at `standing` goes when it asks for `asked`.
    std::function<PixelArea(const PixelArea& standing, const PixelArea& asked)> placeOnRequest =
        [](const PixelArea&, const PixelArea& asked) { return asked; };

    // Takes the requests that have come; answers how many wait.
    std::size_t collect() {
        while (XPending(display_)) {
            XEvent event{};
            XNextEvent(display_, &event);
            if (event.type == MapRequest || event.type == ConfigureRequest)
                waiting_.push_back(event);
        }
        return waiting_.size();
    }

    // Finishes the steps begun at the last answer, then answers the requests waiting, in order:
    // all of them, or the first `most`.
    void answer(std::size_t most = std::size_t(-1)) {
        for (const auto& step : std::exchange(secondSteps_, {}))
            step();
        collect();
        for (; !waiting_.empty() && most > 0; waiting_.pop_front(), --most) {
            const XEvent& event = waiting_.front();
            if (event.type == MapRequest)
                map(event.xmaprequest.window);
            else
                configure(event.xconfigurerequest);
        }
        XSync(display_, False);
    }

private:
    void map(::Window client) {
        const auto place = placeOnMap(rootArea(display_, client));
        if (!place)
            return;
        if (!options_.frames) {
            XMoveWindow(display_, client, place->x, place->y);
            XMapWindow(display_, client);
            return;
        }
        const int firstX = options_.mapsAtTheCorner ? 0 : place->x;
        const int firstY = options_.mapsAtTheCorner ? 0 : place->y;
        const ::Window frame =
            XCreateSimpleWindow(display_, DefaultRootWindow(display_), firstX, firstY,
                                unsigned(place->width), unsigned(place->height), 0, 0, frameColour);
        if (options_.mapsAtTheCorner)
            secondSteps_.push_back([this, frame, client, place = *place] {
                XMoveWindow(display_, frame, place.x, place.y);
                tellPlace(client, place);
            });
        XSelectInput(display_, frame, SubstructureRedirectMask);
        ::Window holder = frame;
        if (options_.plates) {
            holder = XCreateSimpleWindow(display_, frame, 0, 0, unsigned(place->width),
                                         unsigned(place->height), 0, 0, frameColour);
            XSelectInput(display_, holder, SubstructureRedirectMask);
            XMapWindow(display_, holder);
            plates_[client] = holder;
        }
        // Back on the root when the manager goes, as a manager that ends leaves its windows.
        XAddToSaveSet(display_, client);
        XReparentWindow(display_, client, holder, 0, 0);
        frames_[client] = frame;
        XMapWindow(display_, client);
        XMapWindow(display_, frame);
    }

    void configure(const XConfigureRequestEvent& asked) {
        const PixelArea now = rootArea(display_, asked.window);
        const auto given = [&](unsigned long field, int value, int current) {
            return (asked.value_mask & field) ? value : current;
        };
        const PixelArea place =
            placeOnRequest(now, {given(CWX, asked.x, now.x), given(CWY, asked.y, now.y),
                                 given(CWWidth, asked.width, now.width),
                                 given(CWHeight, asked.height, now.height)});
        // As managers do, the window is told where it stands once more, by a configure of
        // the manager's own: a window that takes every notice for a new one sees each twice.
        tellPlace(asked.window, place);
        const auto frame = frames_.find(asked.window);
        if (frame == frames_.end()) {
            XMoveResizeWindow(display_, asked.window, place.x, place.y, unsigned(place.width),
                              unsigned(place.height));
            return;
        }
        const ::Window client = asked.window, outer = frame->second;
        XRectangle outline{0, 0, static_cast<unsigned short>(place.width),
                           static_cast<unsigned short>(place.height)};
        if (const auto plate = plates_.find(client); plate != plates_.end()) {
            const ::Window inner = plate->second;
            XResizeWindow(display_, inner, unsigned(place.width), unsigned(place.height));
            XResizeWindow(display_, client, unsigned(place.width), unsigned(place.height));
            secondSteps_.push_back([this, outer, inner, place, outline]() mutable {
                XMoveResizeWindow(display_, outer, place.x, place.y, unsigned(place.width),
                                  unsigned(place.height));
                secondSteps_.push_back([this, inner, outline]() mutable {
                    XShapeCombineRectangles(display_, inner, ShapeBounding, 0, 0, &outline, 1,
                                            ShapeSet, YXBanded);
                });
            });
            return;
        }
        XMoveResizeWindow(display_, outer, place.x, place.y, unsigned(place.width),
                          unsigned(place.height));
        XShapeCombineRectangles(display_, outer, ShapeBounding, 0, 0, &outline, 1, ShapeSet,
                                YXBanded);
        secondSteps_.push_back([this, client, place] {
            XResizeWindow(display_, client, unsigned(place.width), unsigned(place.height));
        });
    }

    void tellPlace(::Window client, const PixelArea& place) {
        XEvent notice{};
        notice.xconfigure.type = ConfigureNotify;
        notice.xconfigure.event = client;
        notice.xconfigure.window = client;
        notice.xconfigure.x = place.x;
        notice.xconfigure.y = place.y;
        notice.xconfigure.width = place.width;
        notice.xconfigure.height = place.height;
        XSendEvent(display_, client, False, StructureNotifyMask, &notice);
    }

    Display* display_;
    Options options_;
    ::Window check_ = 0;
    std::deque<XEvent> waiting_;
    std::map<::Window, ::Window> frames_;
    std::map<::Window, ::Window> plates_;
    std::vector<std::function<void()>> secondSteps_;
};

} // namespace testsupport
