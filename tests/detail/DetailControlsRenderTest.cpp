#include "controls/ThemeSlider.h"
#include "detail/ActivityIconButton.h"
#include "detail/CompactSwitch.h"
#include "detail/DetailDocumentView.h"
#include "detail/SettingsIconButton.h"
#include "detail/SlimScroller.h"
#include "detail/ThemeSegments.h"
#include "model/AccentColor.h"
#include "platform/graphics/AttributedString.h"
#include "platform/graphics/Bitmap.h"
#include "platform/graphics/Context.h"
#include "platform/graphics/SymbolImage.h"
#include "platform/toolkit/Button.h"
#include "platform/toolkit/ScrollView.h"
#include "platform/toolkit/SegmentedControl.h"
#include "platform/toolkit/Slider.h"
#include "platform/toolkit/TextField.h"
#include "platform/toolkit/ToolkitFixture.h"
#include "platform/toolkit/Window.h"
#include "support/TestPaths.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

using namespace pulsedeck;

constexpr double cellWidth = 150;
constexpr double cellHeight = 44;
constexpr int columns = 4;
constexpr double captionHeight = 14;

// One picture of one control in one state: the control alone in a small window of the
// popover's background, drawn at the screen's scale.
struct Cell {
    std::string caption;
    std::function<std::shared_ptr<ui::View>()> make;
    // Runs once the control is in its window (a hover, a press).
    std::function<void(ui::View&, ui::HeadlessWindowServer&, gfx::Point origin)> pose = {};
    // How long the loop runs after the pose before the picture is taken.
    double settle = 0.3;
};

std::shared_ptr<CompactSwitch> makeSwitch(ui::ControlState state, bool enabled,
                                          bool secondary = false) {
    auto toggle = std::make_shared<CompactSwitch>(gfx::Point{12, 13});
    toggle->setAllowsMixedState(true);
    toggle->setState(state);
    toggle->setEnabled(enabled);
    toggle->setSecondary(secondary);
    return toggle;
}

std::shared_ptr<ThemeSlider> makeSlider(double value, bool enabled) {
    auto slider = std::make_shared<ThemeSlider>(gfx::Rect{8, 12, 134, 20});
    slider->setMinValue(0.2);
    slider->setMaxValue(1);
    slider->setDoubleValue(value);
    slider->setEnabled(enabled);
    return slider;
}

std::shared_ptr<ThemeSegments> makeSegments(int selected, bool image, bool enabled) {
    auto segments =
        std::make_shared<ThemeSegments>(image ? std::vector<std::string>{"CPU", "GPU"}
                                              : std::vector<std::string>{"Bars", "Chart", "Mini"},
                                        ui::SegmentTracking::selectOne, ui::Control::Action{});
    segments->setFrame({6, 10, 138, 24});
    segments->setSelectedSegment(selected);
    segments->setEnabled(enabled);
    if (image)
        segments->setImage(
            gfx::symbolImage("cpu", {12, gfx::FontWeight::regular, {gfx::Color::label()}}),
            selected);
    return segments;
}

std::shared_ptr<ui::View> makeScroller(double proportion, double value) {
    auto scroll = std::make_shared<ui::ScrollView>(gfx::Rect{6, 2, 138, 40});
    scroll->setDrawsBackground(false);
    scroll->setScrollerStyle(ui::ScrollerStyle::legacy);
    scroll->setHasVerticalScroller(true);
    scroll->setVerticalScroller(std::make_shared<SlimScroller>());
    scroll->setDocumentView(
        std::make_shared<DetailDocumentView>(gfx::Rect{0, 0, 130, 40 / proportion}));
    scroll->verticalScroller()->setDoubleValue(value);
    return scroll;
}

std::shared_ptr<ui::Button> makeGear() {
    auto gear = std::make_shared<SettingsIconButton>(gfx::Rect{61, 8, 28, 28});
    gear->setBordered(false);
    gear->setImagePosition(ui::ImagePosition::imageOnly);
    auto symbol = gfx::symbolImage("gearshape", {14, gfx::FontWeight::regular, {}});
    gear->setImage(symbol);
    return gear;
}

std::shared_ptr<ui::Button> makeActivity() {
    // A stand-in icon: a rounded square with a pulse line, as a monitor's icon might look.
    const gfx::Image icon = gfx::Image::withDrawingHandler(
        {64, 64}, false, [](gfx::Context& context, const gfx::Rect& rect) {
            const double unit = rect.width() / 64;
            const auto point = [&](double x, double y) {
                return gfx::Point{rect.minX() + x * unit, rect.minY() + y * unit};
            };
            context.setFillColor(gfx::Color::srgb(0.2, 0.25, 0.3));
            context.fill(
                gfx::Path::roundedRect(rect.insetBy(4 * unit, 4 * unit), 12 * unit, 12 * unit));
            gfx::Path pulse;
            pulse.moveTo(point(12, 30));
            for (const auto& [x, y] : {std::pair{26, 30}, {32, 46}, {38, 18}, {44, 30}, {52, 30}})
                pulse.lineTo(point(x, y));
            context.setStrokeColor(gfx::Color::srgb(0.3, 0.9, 0.4));
            context.setLineWidth(4 * unit);
            context.stroke(pulse);
            return true;
        });
    auto button = std::make_shared<ActivityIconButton>(
        gfx::Rect{61, 8, 28, 28},
        ActivityMonitorLocator{[] { return std::optional<std::string>("file:///monitor"); },
                               [icon](const std::string&, gfx::Appearance) { return icon; }});
    button->setBordered(false);
    button->setImagePosition(ui::ImagePosition::imageOnly);
    return button;
}

void hover(ui::View& view, ui::HeadlessWindowServer& server, gfx::Point origin) {
    const gfx::Rect frame = view.frame();
    server.movePointer({origin.x + frame.maxX() - 3, origin.y + frame.midY()});
}

void press(ui::View& view, ui::HeadlessWindowServer& server, gfx::Point origin) {
    const gfx::Rect frame = view.frame();
    server.mouseDown({origin.x + frame.midX(), origin.y + frame.midY()});
}

void click(ui::View& view, ui::HeadlessWindowServer& server, gfx::Point origin) {
    const gfx::Rect frame = view.frame();
    server.click({origin.x + frame.midX(), origin.y + frame.midY()});
}

std::vector<Cell> cells() {
    using S = ui::ControlState;
    return {
        {"switch off", [] { return makeSwitch(S::off, true); }},
        {"switch on", [] { return makeSwitch(S::on, true); }},
        {"switch mixed", [] { return makeSwitch(S::mixed, true); }},
        {"switch on secondary", [] { return makeSwitch(S::on, true, true); }},
        {"switch on disabled", [] { return makeSwitch(S::on, false); }},
        {"switch off disabled", [] { return makeSwitch(S::off, false); }},
        {"switch 34x15 secondary",
         [] {
             auto toggle = makeSwitch(S::on, true, true);
             toggle->setFrameSize({34, 15});
             return toggle;
         }},
        {"switch 0.09 s into a click", [] { return makeSwitch(S::off, true); }, click, 0.09},
        {"slider 0.2", [] { return makeSlider(0.2, true); }},
        {"slider 0.6", [] { return makeSlider(0.6, true); }},
        {"slider 1.0 disabled", [] { return makeSlider(1, false); }},
        {"slider dragging", [] { return makeSlider(0.6, true); }, press},
        {"segments", [] { return makeSegments(1, false, true); }},
        {"segments image", [] { return makeSegments(0, true, true); }},
        {"segments none", [] { return makeSegments(-1, false, true); }},
        {"segments disabled", [] { return makeSegments(2, false, false); }},
        {"scroller", [] { return makeScroller(0.3, 0.4); }},
        {"scroller hovered", [] { return makeScroller(0.3, 0.4); }, hover},
        {"scroller long doc", [] { return makeScroller(0.01, 1); }},
        {"scroller fits", [] { return makeScroller(1, 0); }},
        {"gear", makeGear},
        {"gear hovered", makeGear, hover},
        {"activity", makeActivity},
        {"activity hovered", makeActivity, hover},
        {"button",
         [] {
             auto button = std::make_shared<ui::Button>(gfx::Rect{25, 10, 100, 24});
             button->setTitle("Check Now");
             return button;
         }},
        {"button pressed",
         [] {
             auto button = std::make_shared<ui::Button>(gfx::Rect{25, 10, 100, 24});
             button->setTitle("Check Now");
             return button;
         },
         press},
        {"check box mixed",
         [] {
             auto box = std::make_shared<ui::Button>(gfx::Rect{10, 12, 130, 20});
             box->setButtonType(ui::ButtonType::switchButton);
             box->setAllowsMixedState(true);
             box->setState(S::mixed);
             box->setTitle("Launch at login");
             return box;
         }},
        {"label truncated",
         [] {
             auto label = ui::TextField::labelWithString("A label far too long for its room");
             label->setFrame({8, 12, 134, 18});
             label->setTextColor(gfx::Color::secondaryLabel());
             return label;
         }},
    };
}

class DetailControlsRenderTest : public toolkittest::ToolkitFixture {
protected:
    // Every cell in one sheet, in the appearance and at the scale.
    gfx::Bitmap render(gfx::Appearance appearance, double scale) {
        server.setScreens({ui::HeadlessWindowServer::makeScreen({0, 0, 1440, 900}, 1, 24, scale)});
        app.setAppearance(appearance);
        const std::vector<Cell> all = cells();
        const int rows = int((all.size() + columns - 1) / columns);
        gfx::Bitmap sheet = gfx::Bitmap::forPointSize(
            {columns * cellWidth, rows * (cellHeight + captionHeight)}, scale);
        gfx::Context context(sheet, appearance);
        const bool dark = appearance == gfx::Appearance::dark;
        context.setFillColor(gfx::Color::grey(dark ? 0.3 : 0.75));
        context.fillRect({{0, 0}, sheet.size()});
        for (std::size_t i = 0; i < all.size(); ++i) {
            const gfx::Point origin{100, 100};
            auto window = std::make_shared<ui::Window>(
                gfx::Rect{origin, {cellWidth - 2, cellHeight}}, ui::Style::borderless);
            window->setBackgroundColor(dark ? gfx::Color::grey(0.16) : gfx::Color::grey(0.96));
            auto view = all[i].make();
            window->contentView()->addSubview(view);
            window->orderFront();
            server.movePointer({0, 0});
            if (all[i].pose)
                all[i].pose(*view, server, origin);
            loop.advanceAndRunDue(all[i].settle);
            window->display();
            const double x = double(i % columns) * cellWidth;
            const double top =
                sheet.size().height - double(i / columns) * (cellHeight + captionHeight);
            const gfx::Image shot = gfx::Image::withBitmap(window->backing()->copy());
            shot.draw(context,
                      gfx::Rect{x, top - captionHeight - cellHeight, cellWidth - 2, cellHeight});
            gfx::drawText(context, all[i].caption, gfx::Point{x + 4, top - captionHeight + 1},
                          {gfx::Font::system(9), gfx::Color::label()});
            if (server.pressedMouseButtons() != 0)
                server.mouseUp({0, 0});
            window->close();
        }
        return sheet;
    }
};

// A point of a cell's window, found on the sheet by the cell's caption.
gfx::Rgba8 cellPixel(const gfx::Bitmap& sheet, const std::string& caption, gfx::Point point) {
    const std::vector<Cell> all = cells();
    const auto found = std::find_if(all.begin(), all.end(),
                                    [&](const Cell& cell) { return cell.caption == caption; });
    EXPECT_NE(found, all.end()) << caption;
    const auto i = std::size_t(found - all.begin());
    const double x = double(i % columns) * cellWidth;
    const double top = sheet.size().height - double(i / columns) * (cellHeight + captionHeight);
    return sheet.pixelAtPoint({x + point.x, top - captionHeight - cellHeight + point.y});
}

bool isAccent(gfx::Rgba8 pixel) {
    const gfx::Color accent = accentColor();
    auto near = [](int channel, double component) {
        return std::abs(channel - int(std::lround(component * 255))) <= 30;
    };
    return near(pixel.red, accent.red()) && near(pixel.green, accent.green()) &&
           near(pixel.blue, accent.blue());
}

TEST_F(DetailControlsRenderTest, GalleryInBothAppearancesAtBothScales) {
    for (const double scale : {1.0, 2.0}) {
        for (const auto appearance : {gfx::Appearance::light, gfx::Appearance::dark}) {
            SCOPED_TRACE(std::string(gfx::toString(appearance)) + " @" + std::to_string(scale));
            const gfx::Bitmap sheet = render(appearance, scale);
            const std::string name = "detail-controls-" + std::string(gfx::toString(appearance)) +
                                     "@" + std::to_string(int(scale)) + "x.png";
            EXPECT_TRUE(sheet.writePng(testsupport::artifactPath(name).string()));

            // The slider's track, a quarter of the way along: filled with the accent up to the
            // knob at 0.6, bare at 0.2; a switch's track lit only when on.
            const gfx::Point track{8 + 25, 12 + 10};
            EXPECT_TRUE(isAccent(cellPixel(sheet, "slider 0.6", track)));
            EXPECT_TRUE(isAccent(cellPixel(sheet, "slider dragging", track)));
            EXPECT_FALSE(isAccent(cellPixel(sheet, "slider 0.2", track)));
            const gfx::Point switchTrack{12 + 27 * 40.0 / 54, 13 + 12 * 18.0 / 24};
            EXPECT_TRUE(isAccent(cellPixel(sheet, "switch on", switchTrack)));
            EXPECT_FALSE(isAccent(cellPixel(sheet, "switch off", switchTrack)));
        }
    }
}

// Probes on one switch's drawing: the track left of the knob and the knob's middle.
class SwitchPixelTest : public toolkittest::ToolkitFixture {
protected:
    struct Probe {
        gfx::Rgba8 track;
        gfx::Rgba8 knobAtLeft;
    };
    Probe draw(ui::ControlState state, bool enabled) {
        auto window =
            std::make_shared<ui::Window>(gfx::Rect{100, 100, 60, 40}, ui::Style::borderless);
        window->setBackgroundColor(gfx::Color::white());
        auto toggle = makeSwitch(state, enabled);
        window->contentView()->addSubview(toggle);
        window->display();
        // In the 54 × 24 space the off knob spans x 2…22 and the on knob 32…52; x 27 is track
        // in either state.
        const auto at = [&](double x, double y) {
            return window->backing()->pixelAtPoint({12 + x * 40.0 / 54, 13 + y * 18.0 / 24});
        };
        return {at(27, 12), at(12, 12)};
    }
};

TEST_F(SwitchPixelTest, OnIsTheAccentMixedDrawsAsOffAndDisabledFadesOnlyTheOnTrack) {
    const gfx::Color accent = accentColor();
    const auto channel = [](double c, double alpha) { return 255 * (1 - alpha) + 255 * c * alpha; };
    const Probe on = draw(ui::ControlState::on, true);
    EXPECT_NEAR(on.track.red, 255 * accent.red(), 2);
    EXPECT_NEAR(on.track.green, 255 * accent.green(), 2);
    EXPECT_EQ(on.knobAtLeft.red, on.track.red) << "the knob sits at the right";

    const Probe disabled = draw(ui::ControlState::on, false);
    EXPECT_NEAR(disabled.track.red, channel(accent.red(), 0.45), 2);

    const Probe off = draw(ui::ControlState::off, true);
    const Probe mixed = draw(ui::ControlState::mixed, true);
    EXPECT_NEAR(off.track.red, 255 * (1 - 0.14), 2);
    EXPECT_EQ(mixed.track, off.track);
    EXPECT_EQ(off.knobAtLeft, (gfx::Rgba8{255, 255, 255, 255}));
    EXPECT_EQ(draw(ui::ControlState::off, false).track, off.track);
}

} // namespace
