#pragma once

#include "model/Localization.h"
#include "model/Modules.h"
#include "platform/toolkit/Button.h"
#include "platform/toolkit/ImageView.h"
#include "platform/toolkit/View.h"

#include <memory>
#include <optional>

namespace pulsedeck {

class CompactSwitch;
class DetailView;
class SectionContentView;

// One module's card in the detail view: a 40-point header with the module's title, a chevron
// that opens and closes the section, and its switch, and below it the content view the owner lays
// out and the card drawing fills. Flipped. The card owns no state of its own; it reads the module's
// state from its owner, the detail view, which owns the card and clears `owner` before it goes.
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

    // Shows the section's new state; the owner hides or shows the content itself afterwards. An
    // animated opening fades the content in over 0.26 s; an animated closing leaves a snapshot of
    // the content fading out over 0.22 s in its place, removed 0.34 s later.
    void animateContent(bool expanded, bool animated);
    // Takes the card's new frame; animated, it glides there over 0.32 s from where it is on
    // screen, so a change during a glide continues smoothly.
    void animateCard(const gfx::Rect& frame, bool animated);
    // The snapshot of the content fading out while the section closes; none otherwise.
    const std::shared_ptr<ui::ImageView>& closingImage() const { return closingImage_; }
    // Points the chevron down or right for the section's state, places it after the title,
    // enables it only while the module is on and hides it in the overview; keeps the switch at
    // the header's right edge, centred on it.
    void updateDisclosure();
    // Opens or closes the section through the owner.
    void toggleDetails();
    const std::shared_ptr<ui::Button>& disclosure() const { return disclosure_; }

    DetailView* owner = nullptr;

protected:
    void drawRect(gfx::Context& context, const gfx::Rect& dirtyRect) override;
    // A press on the header, away from the switch, that moves 4 points hands the card to the
    // owner's drag, which then follows the pointer until the release.
    void mouseDown(const ui::Event& event) override;
    void mouseDragged(const ui::Event& event) override;
    void mouseUp(const ui::Event& event) override;
    void resetCursorRects() override;

private:
    // Where the header press began, in the owner's body; none outside a header press.
    std::optional<gfx::Point> pressStart_;
    ModuleKind kind_;
    std::shared_ptr<SectionContentView> content_;
    std::shared_ptr<CompactSwitch> toggle_;
    std::shared_ptr<ui::Button> disclosure_;
    std::shared_ptr<ui::ImageView> closingImage_;
};

// The text key naming a module wherever it can be switched on or off.
Copy moduleTitleKey(ModuleKind kind);

} // namespace pulsedeck
