#include "detail/ModuleSectionView.h"

#include "detail/CompactSwitch.h"
#include "detail/DetailDocumentView.h"
#include "detail/DetailGeometry.h"
#include "detail/DetailView.h"
#include "detail/ModuleIcon.h"
#include "detail/SectionContentView.h"
#include "detail/TransitionImageView.h"
#include "platform/animation/BasicAnimation.h"
#include "platform/animation/Layer.h"
#include "platform/dispatch/RunLoop.h"
#include "platform/graphics/AttributedString.h"
#include "platform/graphics/Context.h"
#include "platform/graphics/Image.h"
#include "platform/graphics/Path.h"
#include "platform/graphics/SymbolImage.h"
#include "platform/toolkit/Cursor.h"
#include "platform/toolkit/Event.h"
#include "platform/toolkit/ScrollView.h"

#include <algorithm>
#include <cmath>
#include <string>

namespace pulsedeck {

namespace {

constexpr double titleX = 41;
// The switch's room at the right edge of the header.
constexpr double toggleInset = 58;
// The toggle's column, which the title and the header's press area leave free.
constexpr double toggleColumn = 62;
constexpr gfx::Rect iconBox{18, 11, 18, 18};
constexpr double iconFraction = 0.72;
constexpr double revealDuration = 0.26;
constexpr double dismissDuration = 0.22;
// The fading snapshot goes a little after its fade has ended.
constexpr double dismissRemoval = 0.34;
constexpr double glideDuration = 0.32;
constexpr anim::TimingFunction glideTiming{0.22, 0.8, 0.24, 1.0};
constexpr double titleFontSize = 11;
constexpr double overviewCornerRadius = 14;
constexpr double disclosureSide = 24;
constexpr double disclosureGap = 4;
// How far a header press must move before it becomes a drag.
constexpr double dragThreshold = 4;

// The title's room and its font fitted to it: the drawing and the chevron's place agree on both.
struct FittedTitle {
    std::string text;
    gfx::TextAttributes attributes;
    double room = 0;
};

FittedTitle fittedTitle(const std::string& title, double cardWidth) {
    FittedTitle fitted{title,
                       {.font = gfx::Font::system(titleFontSize, gfx::FontWeight::medium)},
                       std::max(50.0, cardWidth - toggleColumn - titleX - disclosureGap)};
    fitted.attributes.font = gfx::Font::system(
        fittedFontSize(gfx::textSize(title, fitted.attributes).width, fitted.room, titleFontSize),
        gfx::FontWeight::medium);
    return fitted;
}

anim::BasicAnimation animation(const char* keyPath, anim::AnimationValue from,
                               anim::AnimationValue to, double duration,
                               anim::TimingFunction timing) {
    anim::BasicAnimation made;
    made.keyPath = keyPath;
    made.fromValue = std::move(from);
    made.toValue = std::move(to);
    made.duration = duration;
    made.timingFunction = timing;
    return made;
}

} // namespace

Copy moduleTitleKey(ModuleKind kind) {
    switch (kind) {
    case ModuleKind::memory:
        return Copy::memoryEnabled;
    case ModuleKind::fan:
        return Copy::fanEnabled;
    case ModuleKind::network:
        return Copy::networkEnabled;
    case ModuleKind::temperature:
        return Copy::temperatureEnabled;
    case ModuleKind::compute:
        return Copy::computeEnabled;
    case ModuleKind::devices:
        return Copy::devicesEnabled;
    }
    return Copy::memoryEnabled;
}

ModuleSectionView::ModuleSectionView(ModuleKind kind, std::shared_ptr<CompactSwitch> toggle,
                                     DetailView* owner)
    : View({0, 0, detailsColumnWidth, headerHeight}), owner(owner), kind_(kind),
      content_(std::make_shared<SectionContentView>(kind, this)), toggle_(std::move(toggle)),
      disclosure_(std::make_shared<ui::Button>()) {
    setWantsLayer(true);
    layer()->setMasksToBounds(true);
    setAccessibilityElement(false);
    addSubview(content_);
    if (toggle_) {
        toggle_->setFrameOrigin({260, headerHeight / 2 - toggle_->frame().height() / 2});
        addSubview(toggle_);
    }
    addSubview(disclosure_);
    disclosure_->setBordered(false);
    disclosure_->setImagePosition(ui::ImagePosition::imageOnly);
    ModuleSectionView* card = this;
    disclosure_->setAction([card](ui::Control&) { card->toggleDetails(); });
}

ModuleSectionView::~ModuleSectionView() {
    content_->card = nullptr;
}

ui::View& ModuleSectionView::content() const {
    return *content_;
}

std::shared_ptr<ui::View> ModuleSectionView::contentView() const {
    return content_;
}

void ModuleSectionView::animateContent(bool expanded, bool animated) {
    ui::View& content = *content_;
    if (expanded) {
        if (closingImage_) {
            closingImage_->removeFromSuperview();
            closingImage_.reset();
        }
        if (animated && content.isHidden()) {
            content.setWantsLayer(true);
            content.layer()->addAnimation(animation(anim::KeyPath::opacity, 0.0, 1.0,
                                                    revealDuration,
                                                    anim::TimingFunction::easeInEaseOut()),
                                          "contentReveal");
        }
        return;
    }
    if (!animated || content.isHidden())
        return;
    std::optional<gfx::Image> snapshot = ui::snapshotImage(content);
    if (!snapshot)
        return;
    auto image = makeTransitionImageView(content.frame(), std::move(*snapshot));
    addSubview(image, ui::Ordering::below, toggle_.get());
    closingImage_ = image;
    image->layer()->setOpacity(0);
    image->layer()->addAnimation(animation(anim::KeyPath::opacity, 1.0, 0.0, dismissDuration,
                                           anim::TimingFunction::linear()),
                                 "contentDismiss");
    std::weak_ptr<ui::ImageView> weakImage = image;
    std::weak_ptr<View> weakCard = weak_from_this();
    dispatch::mainQueue().asyncAfter(dismissRemoval, [weakImage, weakCard] {
        const std::shared_ptr<ui::ImageView> shown = weakImage.lock();
        if (!shown)
            return;
        shown->removeFromSuperview();
        if (auto card = std::static_pointer_cast<ModuleSectionView>(weakCard.lock());
            card && card->closingImage_ == shown)
            card->closingImage_.reset();
    });
}

void ModuleSectionView::animateCard(const gfx::Rect& frame, bool animated) {
    if (this->frame() == frame)
        return;
    const anim::LayerValues start = layer()->presentationValues();
    setFrame(frame);
    if (!animated) {
        layer()->removeAnimation("cardBounds");
        layer()->removeAnimation("cardPosition");
        return;
    }
    layer()->addAnimation(animation(anim::KeyPath::bounds, start.bounds, layer()->bounds(),
                                    glideDuration, glideTiming),
                          "cardBounds");
    layer()->addAnimation(animation(anim::KeyPath::position, start.position, layer()->position(),
                                    glideDuration, glideTiming),
                          "cardPosition");
}

void ModuleSectionView::toggleDetails() {
    if (owner)
        owner->toggleSection(kind_);
}

void ModuleSectionView::updateDisclosure() {
    disclosure_->setHidden(owner &&
                           owner->state().look.presentation == DetailPresentation::overview);
    const bool expanded = owner && owner->isSectionExpanded(kind_);
    disclosure_->setImage(gfx::symbolImage(expanded ? "chevron.down" : "chevron.right",
                                           {.pointSize = 10, .weight = gfx::FontWeight::medium}));
    if (toggle_) {
        const gfx::Size size = toggle_->frame().size;
        toggle_->setFrameOrigin(
            {bounds().width() - toggleInset, headerHeight / 2 - size.height / 2});
    }
    const AppLanguage language = owner ? owner->state().language : AppLanguage::english;
    const FittedTitle title = fittedTitle(text(moduleTitleKey(kind_), language), bounds().width());
    const double titleWidth = std::ceil(gfx::textSize(title.text, title.attributes).width);
    const double x = std::min(titleWidth, title.room) + titleX + disclosureGap;
    const gfx::Rect place{x, 8, disclosureSide, disclosureSide};
    if (disclosure_->frame() != place)
        disclosure_->setFrame(place);
    disclosure_->setEnabled(owner && owner->state().module(kind_).on());
    disclosure_->setAccessibilityLabel(
        text(expanded ? Copy::collapseDetails : Copy::expandDetails, language) + " " + title.text);
}

void ModuleSectionView::mouseDown(const ui::Event& event) {
    pressStart_.reset();
    const gfx::Point local = convertPointFromView(event.locationInWindow(), nullptr);
    if (local.y < 0 || local.y >= headerHeight || local.x >= bounds().width() - toggleColumn) {
        View::mouseDown(event);
        return;
    }
    if (!owner || !owner->window())
        return;
    pressStart_ = owner->body_->convertPointFromView(event.locationInWindow(), nullptr);
}

void ModuleSectionView::mouseDragged(const ui::Event& event) {
    if (!pressStart_ || !owner) {
        View::mouseDragged(event);
        return;
    }
    if (!owner->draggedModule_) {
        const gfx::Point point =
            owner->body_->convertPointFromView(event.locationInWindow(), nullptr);
        if (std::hypot(point.x - pressStart_->x, point.y - pressStart_->y) < dragThreshold)
            return;
        if (!owner->beginCardDrag(kind_, *pressStart_)) {
            pressStart_.reset();
            return;
        }
    }
    owner->scroll_->autoscroll(event);
    owner->moveCardDrag(owner->body_->convertPointFromView(event.locationInWindow(), nullptr));
}

void ModuleSectionView::mouseUp(const ui::Event& event) {
    if (!pressStart_) {
        View::mouseUp(event);
        return;
    }
    pressStart_.reset();
    if (owner)
        owner->endCardDrag();
}

void ModuleSectionView::resetCursorRects() {
    const double end =
        disclosure_->isHidden() ? bounds().width() - toggleColumn : disclosure_->frame().minX();
    addCursorRect({cardContentX, 0, std::max(0.0, end - cardContentX), headerHeight},
                  ui::Cursor::openHand());
}

void ModuleSectionView::drawRect(gfx::Context& context, const gfx::Rect&) {
    const bool overview = owner && owner->state().look.presentation == DetailPresentation::overview;
    const gfx::Rect card = bounds();
    if (overview) {
        const auto outline = gfx::Path::roundedRect(card.insetBy(0.5, 0.5), overviewCornerRadius,
                                                    overviewCornerRadius);
        context.setColor(gfx::Color::label().withAlpha(0.035));
        context.fill(outline);
        context.setStrokeColor(gfx::Color::separator().withAlpha(0.28));
        context.setLineWidth(0.5);
        context.stroke(outline);
    }
    if (const std::optional<gfx::Image> icon = moduleIcon(kind_, gfx::Color::label())) {
        const gfx::Size size = icon->size();
        gfx::Rect place{iconBox.center(), gfx::Size{}};
        if (size.width > 0 && size.height > 0) {
            const double scale =
                std::min(iconBox.width() / size.width, iconBox.height() / size.height);
            const gfx::Size scaled{size.width * scale, size.height * scale};
            place = {iconBox.midX() - scaled.width / 2, iconBox.midY() - scaled.height / 2,
                     scaled.width, scaled.height};
        }
        icon->draw(context, place, {.fraction = iconFraction, .respectFlipped = true});
    }
    if (owner) {
        const FittedTitle title =
            fittedTitle(text(moduleTitleKey(kind_), owner->state().language), card.width());
        const double height =
            std::min(gfx::textSize(title.text, title.attributes).height, headerHeight);
        gfx::drawText(context, title.text,
                      gfx::Rect(titleX, headerHeight / 2 - height / 2, title.room, height),
                      title.attributes);
    }
    if (!overview) {
        context.setColor(gfx::Color::separator().withAlpha(0.5));
        context.fillRect({cardContentX, card.height() - 0.5, 282, 0.5});
    }
}

} // namespace pulsedeck
