#pragma once

#include "detail/SectionContent.h"
#include "model/Modules.h"
#include "platform/toolkit/View.h"

namespace pulsedeck {

class DetailView;
class ModuleSectionView;

// The content of a module's card: y-up, holding the card's controls as subviews and drawing
// everything else under them from the detail view's fields. Draws nothing once its card has lost
// its owner, or has gone.
class SectionContentView : public ui::View {
public:
    SectionContentView(ModuleKind kind, const ModuleSectionView* card);

    ModuleKind kind() const { return kind_; }
    // Cleared by the card when it goes.
    const ModuleSectionView* card;

protected:
    void drawRect(gfx::Context& context, const gfx::Rect& dirtyRect) override;

private:
    ModuleKind kind_;
};

// What a card of the view draws: its regions and width, the view's presentation, language,
// colours and readings. Device ages are measured against the entrance clock's latest frame while
// it runs and against `now` otherwise, so a device that came in while the card could not animate
// is drawn at its true age rather than as just arrived. The histories are views of the view's
// vectors.
SectionContent sectionContent(const DetailView& view, ModuleKind kind, double width, double now);

} // namespace pulsedeck
