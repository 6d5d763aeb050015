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
    // While the alert runs and once the server shows it (a loaded machine may take a while):
    // photograph it, then press its first button as the user would.
    std::function<void()> pressWhenShown = [&] {
        const auto& window = alert->window();
        if (!window || !viewable(*window)) {
            loop.queue().asyncAfter(0.1, pressWhenShown);
            return;
        }
        const gfx::Rect frame = window->frame();
        const int top = int(screenHeight - frame.maxY());
        captured = captureRoot(int(frame.minX()), top, int(frame.width()), int(frame.height()))
                       .writePng(testsupport::artifactPath("update-alert-x11.png"));
        const auto& first = alert->buttons().front();
        const gfx::Point centre = window->convertPointToScreen(
            first->convertPointToView({first->bounds().midX(), first->bounds().midY()}, nullptr));
        // The pointer arrives first, and the press a moment later, as a hand would.
        moveTo(int(centre.x), int(screenHeight - centre.y));
        loop.queue().asyncAfter(0.15, [&] {
            button(1, true);
            button(1, false);
        });
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
