#include "platform/dispatch/RunLoop.h"
#include "platform/toolkit/x11/X11InstanceSelection.h"
#include "support/RunUntil.h"
#include "support/TestPaths.h"

#include <chrono>
#include <csignal>
#include <future>
#include <gtest/gtest.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

// Xlib's macros (None, Bool, Status) must come after every other header.
// clang-format off
#include "support/X11TestSupport.h"
#include <X11/Xatom.h>
// clang-format on

namespace {

using namespace std::chrono_literals;
using ui::x11::X11InstanceSelection;
using Outcome = X11InstanceSelection::Outcome;

const std::string identifier = "test.InstanceSelection-" + std::to_string(getpid());

class InstanceSelection : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_NO_FATAL_FAILURE(testsupport::lookAtServer(xvfb_, display_)); }

    std::unique_ptr<X11InstanceSelection> claim(std::chrono::milliseconds timeout = 5s) {
        return X11InstanceSelection::claim(xvfb_.displayName(), identifier, timeout);
    }

    testsupport::XvfbServer xvfb_;
    testsupport::DisplayConnection display_;
};

// The owner as another client sees it: the selection's owner, the MANAGER announcement on the
// root window with a real server time, and the targets it answers; a second claim finds it held
// and reaches it; a client that takes it gets it back; the owner's end frees it at once.
TEST_F(InstanceSelection, OneOwnerAnnouncedWithAServerTimeAnsweringASecondClaimFreedWithIt) {
    Display* x = display_.get();
    const ::Window root = DefaultRootWindow(x);
    XSelectInput(x, root, StructureNotifyMask);
    XSync(x, False);

    dispatch::RunLoop loop;
    auto first = claim();
    ASSERT_EQ(first->outcome(), Outcome::acquired);
    EXPECT_EQ(first->name(), identifier + "_U" + std::to_string(getuid()) + "_S0");
    const Atom selection = XInternAtom(x, first->name().c_str(), False);
    const ::Window owner = XGetSelectionOwner(x, selection);
    EXPECT_NE(owner, 0u);

    XEvent event{};
    bool announced = false;
    while (!announced && XPending(x) > 0) {
        XNextEvent(x, &event);
        announced = event.type == ClientMessage &&
                    event.xclient.message_type == XInternAtom(x, "MANAGER", False);
    }
    ASSERT_TRUE(announced);
    EXPECT_EQ(event.xclient.window, root);
    EXPECT_NE(event.xclient.data.l[0], CurrentTime);
    EXPECT_EQ(static_cast<Atom>(event.xclient.data.l[1]), selection);
    EXPECT_EQ(static_cast<::Window>(event.xclient.data.l[2]), owner);

    int reopened = 0;
    first->serveReopenRequests(loop, [&] { ++reopened; });
    // What it answers, asked as any client would.
    const ::Window asking = XCreateSimpleWindow(x, root, 0, 0, 1, 1, 0, 0, 0);
    const Atom property = XInternAtom(x, "ANSWER", False);
    const long owned = event.xclient.data.l[0];
    auto convert = [&](const char* target, Time time, Atom into) -> std::vector<long> {
        XConvertSelection(x, selection, XInternAtom(x, target, False), into, asking, time);
        XFlush(x);
        XEvent notice{};
        bool noticed = false;
        if (!testsupport::runUntil(loop, [&] {
                return noticed =
                           noticed || XCheckTypedWindowEvent(x, asking, SelectionNotify, &notice);
            }))
            return {-1};
        if (notice.xselection.property == 0)
            return {};
        Atom type = 0;
        int format = 0;
        unsigned long count = 0, after = 0;
        unsigned char* data = nullptr;
        XGetWindowProperty(x, asking, notice.xselection.property, 0, 16, True, AnyPropertyType,
                           &type, &format, &count, &after, &data);
        const auto* values = reinterpret_cast<long*>(data);
        std::vector<long> answer(values, values + count);
        XFree(data);
        return answer;
    };
    EXPECT_EQ(convert("TARGETS", owned + 1, property),
              (std::vector<long>{static_cast<long>(XInternAtom(x, "TARGETS", False)),
                                 static_cast<long>(XInternAtom(x, "TIMESTAMP", False)),
                                 static_cast<long>(XInternAtom(x, "REOPEN", False))}));
    EXPECT_EQ(convert("TIMESTAMP", owned + 1, property), std::vector<long>{owned});
    EXPECT_EQ(convert("UTF8_STRING", owned + 1, property), std::vector<long>{});
    // Asked from the moment it was taken on, or at the server's current time; asked for a time
    // before, it refuses; a requestor from before the convention's second edition names no
    // property and finds the answer in the target's.
    EXPECT_EQ(convert("TIMESTAMP", owned, property), std::vector<long>{owned});
    EXPECT_EQ(convert("TIMESTAMP", CurrentTime, property), std::vector<long>{owned});
    EXPECT_EQ(convert("TIMESTAMP", owned - 1, property), std::vector<long>{});
    EXPECT_EQ(convert("TIMESTAMP", owned + 1, None), std::vector<long>{owned});
    EXPECT_EQ(reopened, 0);

    // A second claim finds it held and reaches the owner, each time.
    auto second = claim();
    ASSERT_EQ(second->outcome(), Outcome::heldElsewhere);
    for (int request = 1; request <= 2; ++request) {
        auto answered = std::async(std::launch::async, [&] { return second->requestReopen(5s); });
        EXPECT_TRUE(testsupport::runUntil(loop, [&] { return reopened == request; }));
        EXPECT_TRUE(answered.get());
    }

    // A client that takes the selection against the convention: the owner takes it back at once,
    // and a client that keeps taking it is answered a few times a second at most, never in a
    // tight loop; once it stops the owner holds it, and a second claim still reaches it.
    XSetSelectionOwner(x, selection, asking, CurrentTime);
    XSync(x, False);
    EXPECT_TRUE(testsupport::runUntil(
        loop, [&] { return XGetSelectionOwner(x, selection) == owner; }, 1));
    int taken = 0;
    auto thief = std::async(std::launch::async, [&] {
        testsupport::DisplayConnection connection(XOpenDisplay(xvfb_.displayName().c_str()));
        Display* other = connection.get();
        const ::Window window =
            XCreateSimpleWindow(other, DefaultRootWindow(other), 0, 0, 1, 1, 0, 0, 0);
        for (const auto end = std::chrono::steady_clock::now() + 3s;
             std::chrono::steady_clock::now() < end; std::this_thread::sleep_for(1ms))
            if (XGetSelectionOwner(other, selection) != window) {
                XSetSelectionOwner(other, selection, window, CurrentTime);
                ++taken;
            }
    });
    testsupport::settle(loop, 3);
    thief.get();
    EXPECT_GE(taken, 2);
    EXPECT_LE(taken, 8);
    EXPECT_TRUE(
        testsupport::runUntil(loop, [&] { return XGetSelectionOwner(x, selection) == owner; }));
    ASSERT_EQ(claim()->outcome(), Outcome::heldElsewhere);
    auto answered = std::async(std::launch::async, [&] { return second->requestReopen(5s); });
    EXPECT_TRUE(testsupport::runUntil(loop, [&] { return reopened == 3; }));
    EXPECT_TRUE(answered.get());

    first.reset();
    EXPECT_FALSE(second->requestReopen(5s));
    EXPECT_EQ(claim()->outcome(), Outcome::acquired);
}

// Copies started at the same moment: exactly one owns the selection, round after round (the
// moment two could both see it free is short, so one round alone would seldom meet it).
TEST_F(InstanceSelection, OfCopiesStartedTogetherExactlyOneOwnsIt) {
    constexpr int copies = 32;
    for (int round = 0; round < 5; ++round) {
        int go[2], told[2];
        ASSERT_EQ(pipe(go), 0);
        ASSERT_EQ(pipe(told), 0);
        std::vector<pid_t> children;
        for (int i = 0; i < copies; ++i) {
            const pid_t child = fork();
            ASSERT_GE(child, 0);
            if (child == 0) {
                char byte = 0;
                (void)!read(go[0], &byte, 1);
                const auto claimed =
                    X11InstanceSelection::claim(xvfb_.displayName(), identifier, 10s);
                byte = claimed->outcome() == Outcome::acquired        ? 'a'
                       : claimed->outcome() == Outcome::heldElsewhere ? 'h'
                                                                      : 'u';
                (void)!write(told[1], &byte, 1);
                pause();
                _exit(0);
            }
            children.push_back(child);
        }
        const std::string start(copies, 'g');
        ASSERT_EQ(write(go[1], start.data(), start.size()), copies);
        std::string outcomes;
        for (int i = 0; i < copies; ++i) {
            char byte = 0;
            ASSERT_EQ(read(told[0], &byte, 1), 1);
            outcomes += byte;
        }
        for (const pid_t child : children) {
            kill(child, SIGKILL);
            waitpid(child, nullptr, 0);
        }
        std::sort(outcomes.begin(), outcomes.end());
        EXPECT_EQ(outcomes, "a" + std::string(copies - 1, 'h')) << "round " << round;
        for (int fd : {go[0], go[1], told[0], told[1]})
            close(fd);
    }
}

// An owner that never serves (a copy that hangs) ends the request at its bound; a display that
// does not exist gives no claim at all.
TEST_F(InstanceSelection, EveryWaitEndsAtItsBound) {
    const auto frozen = claim();
    ASSERT_EQ(frozen->outcome(), Outcome::acquired);
    const auto asking = claim();
    ASSERT_EQ(asking->outcome(), Outcome::heldElsewhere);
    const auto started = std::chrono::steady_clock::now();
    EXPECT_FALSE(asking->requestReopen(300ms));
    EXPECT_LT(std::chrono::steady_clock::now() - started, 2s);

    EXPECT_EQ(X11InstanceSelection::claim(":4095", identifier, 1s)->outcome(),
              Outcome::unavailable);
}

} // namespace
