#pragma once

#include "platform/toolkit/View.h"

#include <memory>

namespace pulsedeck {

class DetailView;

// The detail view's scroll view document, the body that holds the module cards: flipped, so
// cards are laid out from the top, and drawing nothing itself.
class DetailDocumentView : public ui::View {
public:
    using View::View;

    bool isFlipped() const override { return true; }

    // The detail view it belongs to, set by that view.
    std::weak_ptr<DetailView> owner;
};

} // namespace pulsedeck
