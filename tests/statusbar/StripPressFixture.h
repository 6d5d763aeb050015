#pragma once

#include "StripFixture.h"
#include "platform/toolkit/StatusBar.h"
#include "platform/toolkit/Window.h"

#include <optional>
#include <vector>

namespace striptest {

// A strip in the status item with memory (40), network (60) and devices (34) shown, the fan
// hidden, and every action it reports recorded.
class StripPressFixture : public StripFixture {
protected:
    struct DragReport {
        gfx::Point start;
        gfx::Point current;
        bool ended;
    };

    std::shared_ptr<pulsedeck::MenuBarContentView> strip;
    std::shared_ptr<ui::StatusItem> item;

    std::vector<std::optional<pulsedeck::ModuleKind>> moduleClicks;
    std::vector<std::optional<gfx::Point>> clicks;
    std::vector<ui::Event> contextMenus;
    std::vector<DragReport> drags;
    std::vector<std::vector<pulsedeck::ModuleKind>> orders;
    std::vector<pulsedeck::ModuleKind> hidden;
    int finishRequests = 0;

    void SetUp() override {
        using pulsedeck::ModuleKind;
        strip = makeStrip();
        strip->setModuleImage(ModuleKind::memory, blankImage(40));
        strip->setModuleImage(ModuleKind::network, blankImage(60));
        strip->setModuleImage(ModuleKind::devices, blankImage(34));
        strip->setFanMode(pulsedeck::FanDisplayMode::hidden);
        strip->relayout();
        strip->setFrameSize({strip->requiredWidth(), 24});
        item = ui::StatusBar::system().statusItem(strip->requiredWidth());
        item->setView(strip);

        strip->moduleClickAction = [this](std::optional<ModuleKind> kind) {
            moduleClicks.push_back(kind);
        };
        strip->clickAction = [this](std::optional<gfx::Point> point) { clicks.push_back(point); };
        strip->contextMenuAction = [this](const ui::Event& event) {
            contextMenus.push_back(event);
        };
        strip->floatingDragAction = [this](gfx::Point start, gfx::Point current, bool ended) {
            drags.push_back({start, current, ended});
        };
        strip->statusOrderAction = [this](const std::vector<ModuleKind>& order) {
            orders.push_back(order);
        };
        strip->statusHideAction = [this](ModuleKind kind) { hidden.push_back(kind); };
        strip->finishSortingAction = [this] { ++finishRequests; };
    }

    gfx::Rect stripScreenFrame() const { return *strip->statusItemScreenFrame(); }

    // A point of a module on screen, relative to its rect's bottom-left corner.
    gfx::Point onScreen(pulsedeck::ModuleKind kind, double dx, double dy) const {
        const gfx::Rect frame = stripScreenFrame();
        const gfx::Rect module = strip->rect(kind);
        return {frame.minX() + module.minX() + dx, frame.minY() + module.minY() + dy};
    }
    gfx::Point centreOf(pulsedeck::ModuleKind kind) const {
        const gfx::Rect module = strip->rect(kind);
        return onScreen(kind, module.width() / 2, module.height() / 2);
    }

    void runFor(double seconds) { loop.advanceAndRunDue(seconds); }
};

} // namespace striptest
