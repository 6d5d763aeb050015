#include "platform/toolkit/Alert.h"
#include "support/X11TestSupport.h"
#include "updates/UpdateAlert.h"

#include <functional>

namespace pulsedeck {
namespace {

class UpdateAlertX11Test : public testsupport::X11Fixture {};

TEST_F(UpdateAlertX11Test, AnAvailableReleaseAlertIsShownAndItsFirstButtonAnswers) {
    AppRelease release;
    release.version = "2.1.0";
    release.build = 57;
    release.url = "https://pulsedeck.dorvettin.net/downloads/Pulsedeck-2.1.0-57.zip";
    const auto alert =
        makeUpdateAlert(UpdateOutcome::available(release), AppLanguage::english, "2.0.0");

    bool captured = false;
    // Once the server shows the alert where its frame says (a loaded machine may take a while):
    // photograph it, then press its first button as the user would. A press the loaded machine
    // lost is made again a second later; the first that lands ends the modal session.
    std::function<void()> pressWhenShown = [&] {
        const auto& window = alert->window();
        const auto xid = window ? xWindow(*window) : std::nullopt;
        const gfx::Rect frame = window ? window->frame() : gfx::Rect{};
        const int top = int(screenHeight - frame.maxY());
        const auto shown =
            xid ? testsupport::rootArea(server->display(), *xid) : testsupport::PixelArea{};
        if (!xid || !viewable(*window) || shown.x != int(frame.minX()) || shown.y != top) {
            loop.queue().asyncAfter(0.1, pressWhenShown);
            return;
        }
        captured =
            captured || captureRoot(int(frame.minX()), top, int(frame.width()), int(frame.height()))
                            .writePng(testsupport::artifactPath("update-alert-x11.png"));
        const auto& first = alert->buttons().front();
        const gfx::Point centre = window->convertPointToScreen(
            first->convertPointToView({first->bounds().midX(), first->bounds().midY()}, nullptr));
        // The pointer arrives first, and the press once the server has taken the motion in.
        moveTo(int(centre.x), int(screenHeight - centre.y));
        XSync(user, False);
        button(1, true);
        button(1, false);
        loop.queue().asyncAfter(1, pressWhenShown);
    };
    loop.queue().asyncAfter(0.6, pressWhenShown);
    // A bound for the modal session, should the press never arrive.
    loop.queue().asyncAfter(testsupport::patience, [&] {
        if (!alert->buttons().empty())
            alert->buttons().back()->accessibilityPerformPress();
    });
    EXPECT_EQ(alert->runModal(), ui::ModalResponse::alertFirstButton);
    EXPECT_TRUE(captured);
}

} // namespace
} // namespace pulsedeck
