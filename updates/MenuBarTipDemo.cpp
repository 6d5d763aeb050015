#include "updates/MenuBarTipDemo.h"

#include "drawing/RenderedBitmapImage.h"
#include "platform/animation/AnimationFrameClock.h"
#include "platform/dispatch/RunLoop.h"
#include "platform/foundation/ProcessInfo.h"
#include "platform/graphics/AttributedString.h"
#include "platform/graphics/Context.h"
#include "platform/graphics/Path.h"
#include "platform/graphics/SymbolImage.h"
#include "platform/toolkit/Application.h"
#include "platform/toolkit/Cursor.h"
#include "platform/toolkit/Window.h"
#include "platform/toolkit/Workspace.h"
#include "statusbar/CapsuleImage.h"
#include "statusbar/ComputeStatusImage.h"
#include "statusbar/MemoryStatusImage.h"
#include "updates/MenuBarTipTimeline.h"

#include <array>
#include <chrono>
#include <cmath>
#include <string_view>
#include <vector>

namespace pulsedeck {

namespace {

// The picture's own space: 300 units wide, whatever the view's width.
constexpr double sceneWidth = 300;
constexpr gfx::Rect menuBar{0, 52, 300, 28};
constexpr double barCentreY = 66;
constexpr double iconPointSize = 11;
constexpr double iconStep = 22;
constexpr double stripHeight = 13;
// The strip shows only right of the menus.
constexpr double stripClipX = 103;
constexpr double stripGap = 3;
constexpr double moduleHeight = 24;

struct MenuPill {
    double x;
    double width;
};
constexpr std::array<MenuPill, 3> menuPills{{{30, 18}, {57, 14}, {80, 14}}};
// Right to left from the first slot: the second one is the icon the pointer drags away.
constexpr std::array<std::string_view, 3> statusIcons{"bubble.left", "music.note", "cloud"};
constexpr std::string_view draggedIcon = "music.note";
constexpr double firstIconX = 234;
// The key held while dragging an icon off the bar: Control stands in for Command here.
constexpr std::string_view heldKey = "Ctrl";

bool reduceMotion() {
    ui::Application* app = ui::Application::current();
    return app && app->workspace().accessibilityDisplayShouldReduceMotion();
}

double uptime() {
    return dispatch::RunLoop::main().clock().now();
}

// A named symbol at `scale` × its natural 11-pt size, centred on a point; a name we have no
// drawing for leaves its place empty.
void drawSymbol(gfx::Context& context, std::string_view name, const gfx::Color& colour,
                gfx::Point centre, double fraction, double scale = 1) {
    const auto image = gfx::symbolImage(
        name, {.pointSize = iconPointSize, .weight = gfx::FontWeight::medium, .palette = {colour}});
    if (!image)
        return;
    const gfx::Size size{image->size().width * scale, image->size().height * scale};
    image->draw(
        context,
        gfx::Rect{centre.x - size.width / 2, centre.y - size.height / 2, size.width, size.height},
        {.fraction = fraction});
}

MemorySnapshot sampleMemory() {
    MemorySnapshot snapshot;
    snapshot.physical = "36.00 GB";
    snapshot.used = "24.31 GB";
    snapshot.cached = "8.71 GB";
    snapshot.swap = "2.26 GB";
    snapshot.pressure = 1;
    snapshot.height = 0.42;
    snapshot.sampledAt = std::chrono::system_clock::now();
    snapshot.explanation = Copy::independent;
    return snapshot;
}

std::vector<PressurePoint> sampleHistory() {
    std::vector<PressurePoint> history;
    for (int i = 0; i < 60; ++i)
        history.push_back({0.4 + 0.03 * std::sin(i / 5.0), 1});
    return history;
}

} // namespace

MenuBarTipDemo::MenuBarTipDemo(const gfx::Rect& frame) : View(frame), started_(uptime()) {}

MenuBarTipDemo::~MenuBarTipDemo() {
    stopClock();
}

gfx::Image MenuBarTipDemo::demoStrip(bool dark, AppLanguage language) {
    constexpr double chartLength = 22;
    const std::vector<PressurePoint> history = sampleHistory();
    MemoryStatusContent memory;
    memory.dark = dark;
    memory.history = history;
    memory.snapshot = sampleMemory();
    memory.mode = DisplayMode::pair;
    memory.language = language;
    memory.chartLength = chartLength;
    memory.layout = StatusLayout::measure(memory.mode, language, memory.snapshot, memory.showChart,
                                          chartLength);
    // Drawn once: nothing to keep the capsule for.
    CapsuleCache capsules;
    const gfx::Image memoryImage = memoryStatusImage(capsules, memory);

    ComputeSnapshot compute;
    compute.cpu = 12;
    compute.gpu = 28;
    compute.cpuCores = foundation::processInfo::processorCount();
    const gfx::Image computeImage = computeCompactImage(compute, dark, ComputeColors{});

    const double memoryWidth = memoryImage.size().width;
    const gfx::Size size{memoryWidth + stripGap + computeImage.size().width, moduleHeight};
    const gfx::Image strip = gfx::Image::withDrawingHandler(
        size, false,
        [memoryImage, computeImage, memoryWidth](gfx::Context& context, const gfx::Rect& rect) {
            memoryImage.draw(context, gfx::Point{rect.minX(), rect.minY()});
            computeImage.draw(context,
                              gfx::Point{rect.minX() + memoryWidth + stripGap, rect.minY()});
            return true;
        });
    return renderedBitmapImage(strip, 2, dark);
}

void MenuBarTipDemo::startClock() {
    stopClock();
    if (!window() || !window()->isVisible() || reduceMotion())
        return;
    started_ = uptime();
    std::weak_ptr<View> weak = weak_from_this();
    clock_ = std::make_unique<anim::AnimationFrameClock>(
        [weak](double) {
            if (auto view = weak.lock())
                view->setNeedsDisplay(true);
        },
        anim::AnimationFrameClock::Source::timer);
}

void MenuBarTipDemo::stopClock() {
    if (auto clock = std::move(clock_))
        clock->stop();
}

void MenuBarTipDemo::viewDidMoveToWindow() {
    startClock();
}

void MenuBarTipDemo::viewDidChangeWindowVisibility() {
    startClock();
}

double MenuBarTipDemo::animationTime() const {
    return menuBarTipTime(uptime() - started_, reduceMotion());
}

void MenuBarTipDemo::drawRect(gfx::Context& context, const gfx::Rect&) {
    const bool dark = effectiveAppearance() == gfx::Appearance::dark;
    const gfx::Color foreground = dark ? gfx::Color::white() : gfx::Color::black();
    if (!strip_ || strip_->dark != dark) {
        strip_ = Strip{dark, demoStrip(dark, language)};
        ++stripBuilds_;
    }
    const gfx::Image& strip = strip_->image;
    if (strip.size().height <= 0)
        return;

    gfx::Context::SavedState saved(context);
    const double zoom = bounds().width() / sceneWidth;
    context.scale(zoom, zoom);

    const double time = animationTime();
    const MenuBarTipFactors factors = menuBarTipFactors(time);

    context.setFillColor(foreground.withAlpha(dark ? 0.08 : 0.05));
    context.fill(gfx::Path::roundedRect(menuBar, 7, 7));

    drawSymbol(context, "launcher.grid", foreground, {16, barCentreY}, 0.85);
    context.setFillColor(foreground.withAlpha(0.22));
    for (const MenuPill& pill : menuPills)
        context.fill(gfx::Path::roundedRect({pill.x, barCentreY - 3, pill.width, 6}, 3, 3));

    const gfx::TextAttributes clockText{
        gfx::Font::monospacedDigitSystem(10.5, gfx::FontWeight::medium),
        foreground.withAlpha(0.85)};
    const double clockWidth = gfx::textSize("9:41", clockText).width;
    gfx::drawText(context, "9:41", gfx::Point{sceneWidth - 10 - clockWidth, barCentreY - 6.5},
                  clockText);
    drawSymbol(context, "wifi", foreground, {sceneWidth - 44, barCentreY}, 0.85);

    double x = firstIconX;
    gfx::Point dragStart{x, barCentreY};
    for (std::string_view icon : statusIcons) {
        if (icon == draggedIcon) {
            dragStart = {x, barCentreY};
            x -= iconStep * (1 - factors.close);
            continue;
        }
        drawSymbol(context, icon, foreground, {x, barCentreY}, 1);
        x -= iconStep;
    }

    const double stripWidth = strip.size().width * stripHeight / strip.size().height;
    const double stripLeft = x + 11 - 6 - stripWidth;
    {
        gfx::Context::SavedState clipped(context);
        context.clipToRect(
            {stripClipX, menuBar.minY(), menuBar.maxX() - stripClipX, menuBar.height()});
        strip.draw(context, gfx::Rect{stripLeft, barCentreY - 6.5, stripWidth, stripHeight},
                   {.fraction = menuBarTipStripFraction(stripLeft)});
    }

    const gfx::Point held{dragStart.x - 14 * factors.drag, dragStart.y - 38 * factors.drag};
    const double opacity = 1 - factors.release;
    const double size = (1 + 0.15 * factors.drag) * (1 - 0.6 * factors.release);
    if (opacity > 0.01 && size > 0.05)
        drawSymbol(context, draggedIcon, foreground, held, opacity, size);
    // The puff belongs to letting go; the icon easing back into the bar at the loop's end
    // fades in without one, so the loop ends on the picture it starts with.
    const bool releasing = factors.back == 1 && factors.release > 0 && factors.release < 1;
    if (releasing) {
        const double radius = 6 + 10 * factors.release;
        context.setStrokeColor(foreground.withAlpha(0.35 * (1 - factors.release)));
        context.setLineWidth(1);
        context.stroke(gfx::Path::oval({held.x - radius, held.y - radius, 2 * radius, 2 * radius}));
    }

    if (time > 0.3 && time < 1.75) {
        ui::Cursor::arrowImage().draw(context, gfx::Rect{held.x + 2, held.y - 16, 10, 15});
        gfx::drawText(context, heldKey, gfx::Point{held.x + 12, held.y - 21},
                      {gfx::Font::system(8.5, gfx::FontWeight::bold), foreground.withAlpha(0.75)});
    }
}

} // namespace pulsedeck
