#pragma once

#include "model/Modules.h"
#include "platform/toolkit/View.h"

#include <memory>

namespace pulsedeck {

class CompactSwitch;
class DetailView;
class SectionContentView;

// One module's card in the detail view: a 40-point header with the module's title and its
// switch, and below it the content view the owner lays out and the card drawing fills. Flipped.
// The card owns no state of its own; it reads the module's state from its owner, the detail
// view, which owns the card and clears `owner` before it goes.
class ModuleSectionView : public ui::View {
public:
    static constexpr double headerHeight = 40;

    ModuleSectionView(ModuleKind kind, std::shared_ptr<CompactSwitch> toggle, DetailView* owner);
    ~ModuleSectionView() override;

    bool isFlipped() const override { return true; }

    ModuleKind kind() const { return kind_; }
    // The module's figures and controls, y-up, placed by the owner.
    ui::View& content() const;
    std::shared_ptr<ui::View> contentView() const;
    const std::shared_ptr<CompactSwitch>& toggle() const { return toggle_; }

    // Shows the section's new state; the owner hides or shows the content itself.
    void animateContent(bool expanded, bool animated);
    // Takes the card's new frame.
    void animateCard(const gfx::Rect& frame, bool animated);
    // Keeps the switch at the header's right edge, centred on it.
    void updateDisclosure();

    DetailView* owner = nullptr;

protected:
    void drawRect(gfx::Context& context, const gfx::Rect& dirtyRect) override;

private:
    ModuleKind kind_;
    std::shared_ptr<SectionContentView> content_;
    std::shared_ptr<CompactSwitch> toggle_;
};

} // namespace pulsedeck
