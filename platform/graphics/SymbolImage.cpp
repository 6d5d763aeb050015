#include "platform/graphics/SymbolImage.h"

#include "platform/graphics/Context.h"
#include "platform/graphics/Path.h"

#include <array>
#include <cmath>
#include <numbers>

namespace gfx {

namespace {

// Symbols are designed on a grid 24 units high, y up; one unit is pointSize / 24 points.
constexpr double gridHeight = 24;
// Line width of the regular weight, in grid units.
constexpr double regularStroke = 1.8;

double weightFactor(FontWeight weight) {
    switch (weight) {
    case FontWeight::medium:
        return 1.15;
    case FontWeight::semibold:
        return 1.3;
    case FontWeight::bold:
        return 1.5;
    case FontWeight::regular:
        break;
    }
    return 1.0;
}

struct Pen {
    Context& context;
    double line;
    Color primary;
    Color secondary;

    const Color& colour(int layer) const { return layer == 0 ? primary : secondary; }

    void stroke(Path path, int layer = 0, double widthFactor = 1) const {
        path.setLineWidth(line * widthFactor);
        path.setLineCap(LineCap::round);
        path.setLineJoin(LineJoin::round);
        context.setStrokeColor(colour(layer));
        path.stroke(context);
    }
    void fill(const Path& path, int layer = 0) const {
        context.setFillColor(colour(layer));
        path.fill(context);
    }
    void polyline(std::initializer_list<Point> points, int layer = 0,
                  double widthFactor = 1) const {
        Path path;
        bool first = true;
        for (Point p : points) {
            if (first) {
                path.moveTo(p);
                first = false;
            } else {
                path.lineTo(p);
            }
        }
        stroke(std::move(path), layer, widthFactor);
    }
    void dot(Point center, double radius, int layer = 0) const {
        fill(Path::oval({center.x - radius, center.y - radius, 2 * radius, 2 * radius}), layer);
    }
};

Point polar(Point center, double radius, double degrees) {
    double a = degrees * std::numbers::pi / 180;
    return {center.x + radius * std::cos(a), center.y + radius * std::sin(a)};
}

void externalDrive(const Pen& pen) {
    pen.stroke(Path::roundedRect({2, 5, 24, 14}, 3.5, 3.5));
    pen.polyline({{2.9, 10.2}, {25.1, 10.2}});
    pen.dot({21.2, 7.6}, 1.25, 1);
}

void cableConnector(const Pen& pen) {
    // A plug seen from the side: contacts, head, boot and the cable leaving downwards.
    pen.stroke(Path::roundedRect({7.5, 13, 9, 9}, 1.5, 1.5));
    pen.fill(Path::rect({9.7, 17.2, 1.8, 2.6}), 1);
    pen.fill(Path::rect({12.5, 17.2, 1.8, 2.6}), 1);
    Path boot;
    boot.moveTo({6.5, 13});
    boot.lineTo({17.5, 13});
    boot.lineTo({15.5, 7.5});
    boot.lineTo({8.5, 7.5});
    boot.close();
    pen.stroke(boot);
    pen.polyline({{12, 7.5}, {12, 2}});
}

void sdCard(const Pen& pen) {
    Path card;
    card.moveTo({5.5, 2});
    card.lineTo({18.5, 2});
    card.lineTo({18.5, 22});
    card.lineTo({10.5, 22});
    card.lineTo({5.5, 17});
    card.close();
    pen.stroke(card);
    for (double x : {10.6, 13.2, 15.8}) {
        pen.polyline({{x, 16}, {x, 19.2}}, 1, 0.8);
    }
}

void microphone(const Pen& pen) {
    pen.stroke(Path::roundedRect({8.6, 9.5, 6.8, 12.5}, 3.4, 3.4));
    Path holder;
    holder.appendArc({12, 13.2}, 6.4, 180, 360, false);
    pen.stroke(holder);
    pen.polyline({{12, 6.8}, {12, 2.6}});
    pen.polyline({{8.6, 2.6}, {15.4, 2.6}});
}

void headphones(const Pen& pen) {
    Path band;
    band.moveTo({3.4, 7});
    band.appendArc({12, 12}, 8.6, 180, 0, true);
    band.lineTo({20.6, 7});
    pen.stroke(band);
    pen.fill(Path::roundedRect({2.2, 2.2, 5.2, 9.4}, 2, 2));
    pen.fill(Path::roundedRect({16.6, 2.2, 5.2, 9.4}, 2, 2));
}

void hifiSpeaker(const Pen& pen) {
    pen.stroke(Path::roundedRect({4.5, 2, 15, 20}, 2.8, 2.8));
    pen.stroke(Path::oval({7.6, 4.4, 8.8, 8.8}));
    pen.dot({12, 8.8}, 1.3, 1);
    pen.stroke(Path::oval({10.2, 15.3, 3.6, 3.6}));
}

void pencilAndOutline(const Pen& pen) {
    // An outline square, open at the top right where the pencil stands over it.
    Path outline;
    outline.moveTo({13.5, 19});
    outline.lineTo({6, 19});
    outline.appendArc({6, 16}, 3, 90, 180, false);
    outline.lineTo({3, 6});
    outline.appendArc({6, 6}, 3, 180, 270, false);
    outline.lineTo({16, 3});
    outline.appendArc({16, 6}, 3, 270, 360, false);
    outline.lineTo({19, 11.5});
    pen.stroke(outline, 1);

    // The pencil along the diagonal, tip at the lower left.
    AffineTransform along =
        AffineTransform::rotationDegrees(45).concatenating(AffineTransform::translation(9.2, 9.2));
    Path pencil;
    pencil.moveTo({0, 0});
    pencil.lineTo({3.6, 2.1});
    pencil.lineTo({15, 2.1});
    pencil.lineTo({15, -2.1});
    pencil.lineTo({3.6, -2.1});
    pencil.close();
    pencil.moveTo({12.4, 2.1});
    pencil.lineTo({12.4, -2.1});
    pencil.transform(along);
    pen.stroke(pencil, 0, 0.9);
}

void phone(const Pen& pen) {
    pen.stroke(Path::roundedRect({2.5, 2, 11, 20}, 2.8, 2.8));
    pen.polyline({{6.6, 18.9}, {9.4, 18.9}}, 1);
}

void tablet(const Pen& pen) {
    pen.stroke(Path::roundedRect({2.2, 2, 17.6, 20}, 2.6, 2.6));
    pen.stroke(Path::roundedRect({4.6, 4.4, 12.8, 15.2}, 0.8, 0.8), 1, 0.55);
}

void gearShape(const Pen& pen) {
    constexpr Point center{12, 12};
    constexpr int teeth = 8;
    constexpr double tip = 10, root = 7.6;
    constexpr double tipHalf = 8.5, rootHalf = 13;
    Path gear;
    for (int i = 0; i < teeth; ++i) {
        double a = 90 + i * 360.0 / teeth;
        if (i == 0) {
            gear.moveTo(polar(center, root, a - rootHalf));
        }
        gear.lineTo(polar(center, tip, a - tipHalf));
        gear.appendArc(center, tip, a - tipHalf, a + tipHalf, false);
        gear.lineTo(polar(center, root, a + rootHalf));
        gear.appendArc(center, root, a + rootHalf, a + 360.0 / teeth - rootHalf, false);
    }
    gear.close();
    pen.stroke(gear);
    pen.stroke(Path::oval({center.x - 3.3, center.y - 3.3, 6.6, 6.6}));
}

void checkmark(const Pen& pen) {
    pen.polyline({{4.2, 12.2}, {9.4, 6}, {19.8, 19.4}}, 0, 1.2);
}

void chevronDown(const Pen& pen) {
    pen.polyline({{4, 11}, {12, 3}, {20, 11}}, 0, 1.2);
}

void chevronRight(const Pen& pen) {
    pen.polyline({{3, 20}, {11, 12}, {3, 4}}, 0, 1.2);
}

void chartLine(const Pen& pen) {
    pen.polyline({{3, 21.5}, {3, 3}, {21.5, 3}});
    pen.polyline({{6.5, 7.5}, {10.5, 14}, {14, 10.5}, {20, 18.5}}, 1);
}

void arrowsUpDown(const Pen& pen) {
    pen.polyline({{8, 3}, {8, 20.5}});
    pen.polyline({{3.6, 16.2}, {8, 20.8}, {12.4, 16.2}});
    pen.polyline({{16, 21}, {16, 3.5}});
    pen.polyline({{11.6, 7.8}, {16, 3.2}, {20.4, 7.8}});
}

void thermometerMedium(const Pen& pen) {
    constexpr Point bulb{8, 6.5};
    constexpr double bulbRadius = 4.6, tubeHalf = 2.6, tubeTop = 19.4;
    double meet = std::sqrt(bulbRadius * bulbRadius - tubeHalf * tubeHalf);
    double meetAngle = std::acos(tubeHalf / bulbRadius) * 180 / std::numbers::pi;
    Path outline;
    outline.moveTo({bulb.x + tubeHalf, bulb.y + meet});
    outline.lineTo({bulb.x + tubeHalf, tubeTop});
    outline.appendArc({bulb.x, tubeTop}, tubeHalf, 0, 180, false);
    outline.lineTo({bulb.x - tubeHalf, bulb.y + meet});
    outline.appendArc(bulb, bulbRadius, 180 - meetAngle, meetAngle + 360, false);
    outline.close();
    pen.stroke(outline);
    // The column, filled to the middle of the tube.
    pen.dot(bulb, 2.3, 1);
    pen.fill(Path::roundedRect({bulb.x - 0.95, bulb.y, 1.9, 8.2}, 0.95, 0.95), 1);
}

void processor(const Pen& pen) {
    pen.stroke(Path::roundedRect({5.2, 5.2, 13.6, 13.6}, 2.2, 2.2));
    pen.stroke(Path::roundedRect({9, 9, 6, 6}, 0.8, 0.8), 1, 0.8);
    for (double p : {8.8, 12.0, 15.2}) {
        pen.polyline({{p, 5.2}, {p, 2}}, 0, 0.8);
        pen.polyline({{p, 18.8}, {p, 22}}, 0, 0.8);
        pen.polyline({{5.2, p}, {2, p}}, 0, 0.8);
        pen.polyline({{18.8, p}, {22, p}}, 0, 0.8);
    }
}

void boltFill(const Pen& pen) {
    Path bolt;
    bolt.moveTo({9.8, 22.2});
    bolt.lineTo({2.9, 10.8});
    bolt.lineTo({8, 10.8});
    bolt.lineTo({6.7, 1.8});
    bolt.lineTo({14.1, 13.6});
    bolt.lineTo({9, 13.6});
    bolt.close();
    pen.fill(bolt);
    bolt.setLineWidth(0.9);
    bolt.setLineJoin(LineJoin::round);
    pen.context.setStrokeColor(pen.primary);
    bolt.stroke(pen.context);
}

void xmarkCircle(const Pen& pen) {
    pen.stroke(Path::oval({2, 2, 20, 20}));
    pen.polyline({{8.3, 8.3}, {15.7, 15.7}});
    pen.polyline({{8.3, 15.7}, {15.7, 8.3}});
}

void launcherGrid(const Pen& pen) {
    // Four rounded tiles: the application launcher at the left end of a desktop's top bar.
    for (double x : {3.0, 14.0})
        for (double y : {3.0, 14.0})
            pen.fill(Path::roundedRect({x, y, 7, 7}, 2, 2));
}

void wifi(const Pen& pen) {
    constexpr Point source{12, 4};
    pen.dot(source, 1.9);
    for (double radius : {6.2, 10.9, 15.6}) {
        Path arc;
        arc.appendArc(source, radius, 50, 130, false);
        pen.stroke(arc);
    }
}

void cloud(const Pen& pen) {
    // One outline over three puffs: the base, a small puff right, a tall one in the middle and
    // a small one left.
    Path outline;
    outline.moveTo({6.2, 4.7});
    outline.lineTo({17.6, 4.7});
    outline.appendArc({17.6, 9}, 4.3, 270, 420, false);
    outline.appendArc({12.2, 11.8}, 6.2, 20, 160, false);
    outline.appendArc({6.2, 8.4}, 3.9, 110, 270, false);
    outline.close();
    pen.stroke(outline);
}

void musicNote(const Pen& pen) {
    Path head = Path::oval({-3.9, -2.9, 7.8, 5.8});
    head.transform(AffineTransform::rotationDegrees(-22).concatenating(
        AffineTransform::translation(8.4, 5.6)));
    pen.fill(head);
    pen.polyline({{11.9, 6.4}, {11.9, 21.6}});
    Path flag;
    flag.moveTo({11.9, 21.6});
    flag.curveTo({17.6, 13.2}, {15.4, 19.8}, {19.2, 17.4});
    pen.stroke(flag);
}

void bubbleLeft(const Pen& pen) {
    // A rounded balloon whose tail leaves its lower left corner.
    Path balloon;
    balloon.moveTo({7.4, 7.2});
    balloon.lineTo({17, 7.2});
    balloon.appendArc({17, 12.2}, 5, 270, 450, false);
    balloon.lineTo({7, 17.2});
    balloon.appendArc({7, 12.2}, 5, 90, 200, false);
    balloon.lineTo({2.6, 3.2});
    balloon.lineTo({7.4, 7.2});
    balloon.close();
    pen.stroke(balloon);
}

struct Definition {
    std::string_view name;
    // The design box in grid units; its width sets the image's aspect.
    Size box;
    void (*draw)(const Pen&);
};

constexpr std::array definitions{
    Definition{"externaldrive", {28, 24}, externalDrive},
    Definition{"cable.connector", {24, 24}, cableConnector},
    Definition{"sdcard", {24, 24}, sdCard},
    Definition{"mic", {24, 24}, microphone},
    Definition{"headphones", {24, 24}, headphones},
    Definition{"hifispeaker", {24, 24}, hifiSpeaker},
    Definition{"pencil.and.outline", {24, 24}, pencilAndOutline},
    Definition{"iphone", {16, 24}, phone},
    Definition{"ipad", {22, 24}, tablet},
    Definition{"gearshape", {24, 24}, gearShape},
    Definition{"checkmark", {24, 24}, checkmark},
    Definition{"chevron.down", {24, 14}, chevronDown},
    Definition{"chevron.right", {14, 24}, chevronRight},
    Definition{"chart.xyaxis.line", {24, 24}, chartLine},
    Definition{"arrow.up.arrow.down", {24, 24}, arrowsUpDown},
    Definition{"thermometer.medium", {16, 24}, thermometerMedium},
    Definition{"cpu", {24, 24}, processor},
    Definition{"bolt.fill", {17, 24}, boltFill},
    Definition{"xmark.circle", {24, 24}, xmarkCircle},
    Definition{"launcher.grid", {24, 24}, launcherGrid},
    Definition{"wifi", {24, 24}, wifi},
    Definition{"cloud", {24, 24}, cloud},
    Definition{"music.note", {24, 24}, musicNote},
    Definition{"bubble.left", {24, 24}, bubbleLeft},
};

} // namespace

std::optional<Image> symbolImage(std::string_view name, const SymbolConfiguration& configuration) {
    for (const Definition& definition : definitions) {
        if (definition.name != name) {
            continue;
        }
        double unit = configuration.pointSize / gridHeight;
        Size size{definition.box.width * unit, definition.box.height * unit};
        double line = regularStroke * weightFactor(configuration.weight);
        const std::vector<Color>& palette = configuration.palette;
        Color primary = palette.empty() ? Color::black() : palette.front();
        Color secondary = palette.size() > 1 ? palette[1] : primary;
        auto draw = definition.draw;
        Image image =
            Image::withDrawingHandler(size, false, [=](Context& context, const Rect& rect) {
                Context::SavedState saved(context);
                context.scale(rect.width() / definition.box.width,
                              rect.height() / definition.box.height);
                draw(Pen{context, line, primary, secondary});
                return true;
            });
        image.setTemplate(palette.empty());
        return image;
    }
    return std::nullopt;
}

std::vector<std::string_view> symbolNames() {
    std::vector<std::string_view> names;
    for (const Definition& definition : definitions) {
        names.push_back(definition.name);
    }
    return names;
}

} // namespace gfx
