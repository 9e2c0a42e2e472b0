// "Quandrele.html": one self-contained page (inline style and SVG, no script, nothing
// fetched) with a drawing of the structure and a table of the atoms. The page is appended
// to one buffer that goes to the file in large blocks; numbers are formatted on the stack.
#include <gemmi/eig3.hpp>

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "../database/nearest.h"
#include "../geometry/cell.h"
#include "../geometry/vec.h"
#include "../core/text.h"
#include "ellipse.h"
#include "labels.h"
#include "report.h"
#include "textsink.h"

namespace {

// Appends a printf-formatted piece of the page. A piece was always cut at 511 characters (a
// long quandrel or file name can reach that); the cut is kept so pages stay as they were.
void piece(std::string& out, const char* fmt, ...) __attribute__((format(printf, 2, 3)));
void piece(std::string& out, const char* fmt, ...) {
    char text[512];
    va_list args;
    va_start(args, fmt);
    const int n = std::vsnprintf(text, sizeof text, fmt, args);
    va_end(args);
    if (n > 0) out.append(text, std::min(static_cast<std::size_t>(n), sizeof text - 1));
}

void appendEscaped(std::string& out, std::string_view text) {
    for (char c : text) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        default: out += c;
        }
    }
}

// The escaped text in `scratch` (kept for reuse), for a printf piece.
const char* escaped(std::string& scratch, std::string_view text) {
    scratch.clear();
    appendEscaped(scratch, text);
    return scratch.c_str();
}

const char* const STYLE = R"(
body { font-family: sans-serif; margin: 1.5em; color: #222; background: #fff; }
h1 { font-size: 1.4em; margin-bottom: 0.2em; }
h2 { font-size: 1.15em; margin-top: 1.6em; }
.summary { margin: 0.3em 0 1em 0; }
.summary .bad { color: #b71c1c; font-weight: bold; }
.legend { display: flex; flex-wrap: wrap; gap: 1.2em; font-size: 0.9em; margin: 0.5em 0; align-items: center; }
.legend span { display: inline-flex; align-items: center; gap: 0.35em; }
.drawing { border: 1px solid #ccc; background: #fcfcfc; max-width: 100%; height: auto; }
table { border-collapse: collapse; font-size: 0.85em; }
th, td { border: 1px solid #ccc; padding: 0.25em 0.5em; text-align: left; vertical-align: top; }
th { background: #eee; position: sticky; top: 0; }
td.num { text-align: right; font-variant-numeric: tabular-nums; white-space: nowrap; }
td.name { font-family: monospace; word-break: break-all; max-width: 28em; }
tr.missing td { background: #fdecea; }
tr.missing td.found { color: #b71c1c; font-weight: bold; }
td.found { color: #1b5e20; }
ol.nearest { margin: 0.2em 0 0 1.2em; padding: 0; }
ol.nearest code { font-size: 0.95em; }
.note { color: #555; font-size: 0.85em; }
input.switch { display: none; }
.controls label { cursor: pointer; padding: 0.15em 0.5em; border: 1px solid #bbb; border-radius: 3px; }
.views svg.drawing { display: none; }
#view-best:checked ~ .views .view-best, #view-a:checked ~ .views .view-a,
#view-b:checked ~ .views .view-b, #view-c:checked ~ .views .view-c { display: block; }
#view-best:checked ~ .controls label[for=view-best], #view-a:checked ~ .controls label[for=view-a],
#view-b:checked ~ .controls label[for=view-b], #view-c:checked ~ .controls label[for=view-c],
#all-axes:checked ~ .controls label[for=all-axes] { background: #cfd8dc; }
.drawing .axes { display: none; }
.drawing .axes.on, #all-axes:checked ~ .views .axes { display: inline; }
.drawing .bond.image { opacity: 0.45; }
.drawing .atom { cursor: pointer; }
dl.provenance { display: grid; grid-template-columns: max-content auto; gap: 0.1em 1em; font-size: 0.85em; }
dl.provenance dt { font-weight: bold; }
dl.provenance dd { margin: 0; }
section.warnings { border-left: 4px solid #d50000; padding-left: 0.8em; }
th.sortable { cursor: pointer; }
)";

const char* const FOUND_STROKE = "#263238";
const char* const MISSING_STROKE = "#d50000";
const char* const AXIS_COLOUR[3] = {"#1565c0", "#ef6c00", "#6a1b9a"};  // X, Y, Z
const char* const AXIS_NAME[3] = {"X", "Y", "Z"};
const char* const CELL_COLOUR[3] = {"#c62828", "#2e7d32", "#1565c0"};  // a, b, c

}  // namespace

// The usual CPK-like colours; elements without one of their own share a pink.
const char* elementColour(const char* symbol) {
    static const std::pair<const char*, const char*> colours[] = {
        {"H", "#ffffff"},  {"C", "#909090"},  {"N", "#3050f8"},  {"O", "#ff0d0d"},  {"F", "#90e050"},
        {"Cl", "#1ff01f"}, {"Br", "#a62929"}, {"I", "#940094"},  {"S", "#ffff30"},  {"P", "#ff8000"},
        {"B", "#ffb5b5"},  {"Si", "#f0c8a0"}, {"Li", "#cc80ff"}, {"Na", "#ab5cf2"}, {"K", "#8f40d4"},
        {"Mg", "#8aff00"}, {"Ca", "#3dff00"}, {"Fe", "#e06633"}, {"Co", "#f090a0"}, {"Ni", "#50d050"},
        {"Cu", "#c88033"}, {"Zn", "#7d80b0"}, {"Se", "#ffa100"}, {"Al", "#bfa6a6"}, {"Mn", "#9c7ac7"},
        {"Cr", "#8a99c7"}, {"Ti", "#bfc2c7"}, {"V", "#a6a6ab"},  {"He", "#d9ffff"}, {"Be", "#c2ff00"},
    };
    for (const auto& c : colours)
        if (std::strcmp(c.first, symbol) == 0) return c.second;
    return "#ff1493";
}

namespace {

// A view of the drawing: `across` and `up` span the plane, `depth` points at the viewer.
struct View {
    const char* key = "best";
    const char* caption = "";
    vec centre, across, up, depth;
    double scale = 40;  // pixels per angstrom
    double left = 0, top = 0;
    double width = 0, height = 0;

    double pad = 60;    // pixels around the drawing, room for labels at its edges

    double sx(vec p) const { return pad + (dot(p - centre, across) - left) * scale; }
    double sy(vec p) const { return pad + (top - dot(p - centre, up)) * scale; }
};

vec centreOf(const std::vector<vec>& points) {
    vec c;
    for (const vec& p : points) c = c + p;
    return points.empty() ? c : (1.0 / static_cast<double>(points.size())) * c;
}

// The best view: the two largest principal axes of the atom positions span the plane,
// the smallest is the line of sight.
void bestAxes(View& v, const std::vector<vec>& atoms) {
    v.across = {1, 0, 0};
    v.up = {0, 1, 0};
    v.depth = {0, 0, 1};
    if (atoms.size() < 2) return;
    gemmi::SMat33<double> c{0, 0, 0, 0, 0, 0};
    for (const vec& p : atoms) {
        const vec d = p - v.centre;
        c.u11 += d.x * d.x;
        c.u22 += d.y * d.y;
        c.u33 += d.z * d.z;
        c.u12 += d.x * d.y;
        c.u13 += d.x * d.z;
        c.u23 += d.y * d.z;
    }
    double values[3];
    const gemmi::Mat33 vectors = gemmi::eigen_decomposition(c, values);  // values ascending
    auto column = [&](int k) { return vec{vectors[0][k], vectors[1][k], vectors[2][k]}; };
    if (std::isfinite(values[0]) && std::isfinite(values[2])) {
        v.depth = column(0);
        v.up = column(1);
        v.across = column(2);
        if (dot(cross(v.across, v.up), v.depth) < 0) v.depth = -1.0 * v.depth;
    }
}

// A view along a cell edge: `along` towards the viewer, `side` (another edge) across.
void edgeAxes(View& v, vec along, vec side) {
    v.depth = normalised(along);
    v.across = normalised(side - dot(side, v.depth) * v.depth);
    v.up = cross(v.depth, v.across);
}

// Scale and extent of a view from everything it must show.
void fitView(View& v, const std::vector<vec>& points) {
    double minA = 1e300, maxA = -1e300, minU = 1e300, maxU = -1e300;
    for (const vec& p : points) {
        const double a = dot(p - v.centre, v.across), u = dot(p - v.centre, v.up);
        minA = std::min(minA, a);
        maxA = std::max(maxA, a);
        minU = std::min(minU, u);
        maxU = std::max(maxU, u);
    }
    if (minA > maxA) minA = maxA = minU = maxU = 0;
    const double margin = 0.6;  // angstrom around everything drawn
    minA -= margin;
    maxA += margin;
    minU -= margin;
    maxU += margin;
    const double spanA = maxA - minA, spanU = maxU - minU;
    v.scale = std::max(6.0, std::min({120.0, 1250.0 / spanA, 850.0 / spanU}));
    v.left = minA;
    v.top = maxU;
    v.width = spanA * v.scale + 2 * v.pad;
    v.height = spanU * v.scale + 2 * v.pad;
}

// The local axes of an atom from its own, its ATOM0 and its ATOM2 positions: the first
// axis points at ATOM0, the second lies in the plane towards ATOM2, the third completes a
// right-handed system. Empty when the positions do not span a plane.
bool localAxes(vec self, vec atom0, vec atom2, int axis1, int axis2, vec (&axes)[3]) {
    if (axis1 < 1 || axis1 > 3 || axis2 < 1 || axis2 > 3 || axis1 == axis2) return false;
    vec e1 = atom0 - self;
    const double l1 = norm(e1);
    if (!(l1 > 1e-6)) return false;
    e1 = (1.0 / l1) * e1;
    vec e2 = atom2 - self;
    e2 = e2 - dot(e2, e1) * e1;
    const double l2 = norm(e2);
    if (!(l2 > 1e-6)) return false;
    e2 = (1.0 / l2) * e2;
    const int axis3 = 6 - axis1 - axis2;
    const bool cyclic = (axis2 - axis1 + 3) % 3 == 1;  // X->Y, Y->Z, Z->X
    axes[axis1 - 1] = e1;
    axes[axis2 - 1] = e2;
    axes[axis3 - 1] = cyclic ? cross(e1, e2) : cross(e2, e1);
    return true;
}

// The axis code of a frame (1 X, 2 Y, 3 Z) as the drawing takes it: 0 when it is none.
int axisCode(int code) { return code >= 1 && code <= 3 ? code : 0; }

// One drawn site: an input atom or a symmetry image.
struct Site {
    vec p;
    int atom = -1;   // the input atom; for an image the atom it copies
    bool image = false;
    std::string label;
    const char* element = "";
    double u[6] = {0, 0, 0, 0, 0, 0};  // Cartesian U
    bool isotropic = true;
};

// What the drawing shows: the sites, the bonds between them, and the dummies that some
// frame uses; where finds an atom or any dummy by its label (the first of equal labels).
struct Scene {
    std::vector<Site> sites;
    std::vector<std::pair<std::size_t, std::size_t>> bonds;
    std::vector<std::string> dummyLabels;
    std::unordered_map<std::string_view, vec> where;
    std::vector<std::size_t> drawnDummies;  // dummies some frame uses
    std::vector<vec> dummyPoints;
    std::vector<char> dummyUnplaced;
    std::vector<std::vector<std::size_t>> bonded;
};

Scene collectScene(const RunReport& run) {
    const std::size_t atoms = static_cast<std::size_t>(run.atoms());
    Scene scene;
    std::unordered_map<std::string_view, std::size_t> indexOf;
    scene.sites.reserve(atoms + static_cast<std::size_t>(run.images()));
    for (std::size_t k = 0; k < atoms; ++k) {
        const int i = static_cast<int>(k);
        Site s;
        s.p = toVec(run.cartesian(i));
        s.atom = i;
        s.label = run.label(i);
        s.element = run.element(i);
        run.cartesianU(i, s.u);
        s.isotropic = run.displacement(i).size() == 1;
        scene.sites.push_back(s);
    }
    for (int k = 0; k < run.images(); ++k) {
        const ImageView v = run.image(k);
        Site s = scene.sites[static_cast<std::size_t>(v.origin)];
        s.p = toVec(v.record->cart);
        s.image = true;
        s.label = v.label;
        run.imageCartesianU(k, s.u);
        scene.sites.push_back(s);
    }
    for (std::size_t k = 0; k < scene.sites.size(); ++k) {
        indexOf.emplace(scene.sites[k].label, k);
        if (k < atoms) scene.where.emplace(scene.sites[k].label, scene.sites[k].p);
    }
    scene.bonded.resize(scene.sites.size());
    auto bond = [&](std::size_t p, std::size_t q) {
        scene.bonds.emplace_back(p, q);
        scene.bonded[p].push_back(q);
        scene.bonded[q].push_back(p);
    };
    run.forEachBond([&](int i, int j) { bond(static_cast<std::size_t>(i), static_cast<std::size_t>(j)); });
    for (const auto& b : run.imageBonds()) bond(static_cast<std::size_t>(b.first), static_cast<std::size_t>(b.second));
    std::vector<char> used(static_cast<std::size_t>(std::max(run.dummies(), 0)), 0);
    for (int i = 0; i < run.atoms(); ++i)
        for (int number : {run.atom(i).atom0, run.atom(i).atom2})
            if (run.dummyOf(number) >= 0 && run.dummyOf(number) < run.dummies())
                used[static_cast<std::size_t>(run.dummyOf(number))] = 1;
    const int dummies = run.dummies();
    scene.dummyLabels.reserve(static_cast<std::size_t>(dummies));  // the labels stay where they are
    for (int k = 0; k < dummies; ++k) {
        char scratch[24];
        scene.dummyLabels.emplace_back(run.referenceLabel(run.atoms() + k + 1, scratch));
        double cart[3];
        run.dummyCartesian(k, cart);
        const vec p = toVec(cart);
        scene.where.emplace(scene.dummyLabels.back(), p);
        if (used[static_cast<std::size_t>(k)]) {
            scene.drawnDummies.push_back(static_cast<std::size_t>(k));
            scene.dummyPoints.push_back(p);
            scene.dummyUnplaced.push_back(run.dummyUnplaced(k) ? 1 : 0);
        }
    }
    return scene;
}

// The views: the best one, then along a, b and c; all fitted to the sites and the dummies
// that have a position (an unplaced dummy at the origin would squeeze the drawing).
std::vector<View> makeViews(const RunReport& run, const Scene& scene) {
    std::vector<vec> points;
    for (const Site& s : scene.sites) points.push_back(s.p);
    std::vector<vec> all = points;
    for (std::size_t n = 0; n < scene.dummyPoints.size(); ++n)
        if (!scene.dummyUnplaced[n]) all.push_back(scene.dummyPoints[n]);
    const CellGeometry& g = run.geometry;
    vec edge[3];
    for (int c = 0; c < 3; ++c) {
        double unit[3] = {0, 0, 0}, out[3];
        unit[c] = 1;
        g.toCartesian(unit, out);
        edge[c] = toVec(out);
    }
    std::vector<View> views(4);
    const char* keys[4] = {"best", "a", "b", "c"};
    const char* captions[4] = {"best view", "along a", "along b", "along c"};
    for (std::size_t n = 0; n < views.size(); ++n) {
        View& v = views[n];
        v.key = keys[n];
        v.caption = captions[n];
        v.centre = centreOf(points);
        if (n == 0) bestAxes(v, points);
        else edgeAxes(v, edge[n - 1], edge[n % 3]);
        fitView(v, all);
    }
    return views;
}

void svgStart(std::string& svg, const View& view, bool shown) {
    piece(svg,
          "<svg class=\"drawing view-%s\" data-view=\"%s\" xmlns=\"http://www.w3.org/2000/svg\" "
          "viewBox=\"0 0 %.0f %.0f\" width=\"%.0f\" height=\"%.0f\" role=\"img\" aria-label=\"Structure drawing, "
          "%s\"%s>\n",
          view.key, view.key, view.width, view.height, view.width, view.height, view.caption,
          shown ? "" : "");
    svg += "<defs>\n";
    for (int k = 0; k < 3; ++k)
        piece(svg,
              "<marker id=\"arrow-%s-%c\" viewBox=\"0 0 10 10\" refX=\"9\" refY=\"5\" markerWidth=\"5\" "
              "markerHeight=\"5\" orient=\"auto-start-reverse\"><path d=\"M0,0 L10,5 L0,10 z\" "
              "fill=\"%s\"/></marker>\n",
              view.key, "xyz"[k], AXIS_COLOUR[k]);
    svg += "</defs>\n";
}

void bondLayer(std::string& svg, const Scene& scene, const View& view) {
    svg += "<g class=\"bonds\" stroke=\"#9e9e9e\" stroke-width=\"";
    piece(svg, "%.1f", std::max(1.5, 0.07 * view.scale));
    svg += "\" stroke-linecap=\"round\">\n";
    std::string a, b;
    for (const auto& bond : scene.bonds) {
        const Site &p = scene.sites[bond.first], &q = scene.sites[bond.second];
        const bool image = p.image || q.image;
        piece(svg, "<line class=\"bond%s\" data-atoms=\"%s %s\" x1=\"%.1f\" y1=\"%.1f\" x2=\"%.1f\" y2=\"%.1f\"/>\n",
              image ? " image" : "", escaped(a, p.label), escaped(b, q.label), view.sx(p.p), view.sy(p.p),
              view.sx(q.p), view.sy(q.p));
    }
    svg += "</g>\n";
}

// Dummies that frames use; one no position rule placed sits at the origin, outside what the
// drawing is fitted to: it is drawn in red at the drawing's edge, in its direction.
void dummyLayer(std::string& svg, const Scene& scene, const View& view, double font) {
    const double s = view.scale;
    svg += "<g class=\"dummies\">\n";
    const double c = std::max(1.5, 0.12 * s);
    std::string label;
    for (std::size_t n = 0; n < scene.drawnDummies.size(); ++n) {
        const vec& p = scene.dummyPoints[n];
        const bool unplaced = scene.dummyUnplaced[n] != 0;
        const double x = std::min(std::max(view.sx(p), 8.0), view.width - 8.0);
        const double y = std::min(std::max(view.sy(p), 8.0), view.height - 8.0);
        escaped(label, scene.dummyLabels[scene.drawnDummies[n]]);
        piece(svg,
              "<g class=\"dummy%s\" data-label=\"%s\"><title>%s%s</title><path d=\"M%.1f,%.1f L%.1f,%.1f M%.1f,%.1f "
              "L%.1f,%.1f\" stroke=\"%s\" stroke-width=\"%s\"/></g>\n",
              unplaced ? " unplaced" : "", label.c_str(), label.c_str(),
              unplaced ? ": no position rule applied, left at 0,0,0" : "", x - c, y - c, x + c, y + c, x - c, y + c,
              x + c, y - c, unplaced ? "#d50000" : "#444", unplaced ? "2.5" : "1.5");
    }
    (void)font;
    svg += "</g>\n";
}

// Scratch texts of the page, reused from atom to atom.
struct Scratch {
    std::string a, b;
};

// The drawn radius scale of an ellipse: at least a few pixels, so every atom stays visible.
double drawnRadius(double angstrom, const View& view) { return std::max(2.5, angstrom * view.scale); }

// Isotropic hydrogens are drawn as small spheres of fixed size, as displacement drawings do.
constexpr double HYDROGEN_RADIUS = 0.15;

bool fixedHydrogen(const Site& site) { return site.isotropic && std::strcmp(site.element, "H") == 0; }

// The radius (pixels) of the circle around a site's drawn shape.
double siteRadius(const Site& site, const View& view) {
    if (fixedHydrogen(site)) return drawnRadius(HYDROGEN_RADIUS, view);
    if (site.isotropic) return drawnRadius(PROBABILITY_50 * std::sqrt(std::max(0.0, site.u[0])), view);
    return drawnRadius(projectedEllipse(site.u, view.across, view.up).major, view);
}

// Site k: its 50 % ellipsoid (a circle for an isotropic atom) in its element's colour, the
// outline telling found from missing, dashed for an atom of a disorder part.
void atomShape(std::string& svg, const RunReport& run, const Scene& scene, std::size_t k, const View& view,
               Scratch& scratch) {
    const Site& site = scene.sites[k];
    const int i = site.atom;
    const char* label = escaped(scratch.a, site.label);
    const bool found = run.found(i);
    const int part = run.part(i);
    const double x = view.sx(site.p), y = view.sy(site.p);
    const char* cls = site.image ? "image" : found ? "found" : "missing";
    piece(svg, "<g class=\"atom %s\" data-label=\"%s\" data-element=\"%s\"", cls, label, site.element);
    if (part != 0) piece(svg, " data-part=\"%d\"", part);
    piece(svg, "><title>%s (%s): %s, %s", label, site.element, escaped(scratch.b, run.name(i)),
          found ? "found" : "not in the database");
    if (part != 0) piece(svg, ", disorder part %d", part);
    if (site.image) piece(svg, ", symmetry image of %s", escaped(scratch.b, run.label(i)));
    svg += "</title>";
    const char* fill = elementColour(site.element);
    const char* stroke = found || site.image ? FOUND_STROKE : MISSING_STROKE;
    const char* width = found || site.image ? "1" : "3";
    const char* dash = part != 0 ? " stroke-dasharray=\"4 2\"" : "";
    // the shape: a circle, or the projected ellipse (the screen's y runs down, so an angle
    // towards `up` turns the other way)
    char shape[160];
    if (site.isotropic) {
        std::snprintf(shape, sizeof shape, "circle cx=\"%.1f\" cy=\"%.1f\" r=\"%.1f\"", x, y, siteRadius(site, view));
    } else {
        const Ellipse e = projectedEllipse(site.u, view.across, view.up);
        std::snprintf(shape, sizeof shape,
                      "ellipse cx=\"%.1f\" cy=\"%.1f\" rx=\"%.2f\" ry=\"%.2f\" transform=\"rotate(%.1f %.1f %.1f)\"",
                      x, y, drawnRadius(e.major, view), drawnRadius(e.minor, view), -e.angle * 180 / M_PI, x, y);
    }
    // a faded image gets an opaque backing, so the bonds behind it stay hidden
    if (site.image) piece(svg, "<%s class=\"backing\" fill=\"#fcfcfc\"/>", shape);
    piece(svg, "<%s class=\"adp\" fill=\"%s\" stroke=\"%s\" stroke-width=\"%s\"%s%s/>", shape, fill, stroke, width,
          dash, site.image ? " fill-opacity=\"0.4\" stroke-opacity=\"0.5\"" : "");
    svg += "</g>\n";
}

constexpr double ARROW = 0.6;  // length of a frame arrow, angstrom

// Axis e of an atom at p: an arrow, or, along the line of sight, a circle with a dot when it
// points at the viewer and with a cross when it points away.
void axisArrow(std::string& svg, int e, vec p, vec axis, const View& view, double font) {
    const double s = view.scale;
    const double stroke = std::max(0.6, std::min(1.6, 0.03 * s));
    const double x = view.sx(p), y = view.sy(p);
    const vec tip = p + ARROW * axis;
    const double tx = view.sx(tip), ty = view.sy(tip);
    if (std::hypot(tx - x, ty - y) < 0.35 * ARROW * s) {
        const double m = std::max(1.5, 0.09 * s), o = m * 0.6;
        const bool toward = dot(axis, view.depth) > 0;
        piece(svg,
              "<g class=\"axis-arrow axis-%c %s\" stroke=\"%s\" fill=\"none\" "
              "stroke-width=\"%.1f\"><circle cx=\"%.1f\" cy=\"%.1f\" r=\"%.1f\" fill=\"#fff\"/>",
              "xyz"[e], toward ? "toward-viewer" : "away-from-viewer", AXIS_COLOUR[e], stroke, tx, ty, m);
        if (toward)
            piece(svg, "<circle cx=\"%.1f\" cy=\"%.1f\" r=\"%.1f\" fill=\"%s\"/>", tx, ty, m * 0.3, AXIS_COLOUR[e]);
        else
            piece(svg, "<path d=\"M%.1f,%.1f L%.1f,%.1f M%.1f,%.1f L%.1f,%.1f\"/>", tx - o, ty - o, tx + o, ty + o,
                  tx - o, ty + o, tx + o, ty - o);
        piece(svg,
              "<text class=\"axis-label\" x=\"%.1f\" y=\"%.1f\" font-size=\"%.1f\" "
              "fill=\"%s\" stroke=\"none\">%s</text>",
              tx + m + 1, ty + m + font * 0.3, font * 0.75, AXIS_COLOUR[e], AXIS_NAME[e]);
        svg += "</g>";
        return;
    }
    const vec beyond = p + (ARROW * 1.3) * axis;
    piece(svg,
          "<line class=\"axis-arrow axis-%c\" x1=\"%.1f\" y1=\"%.1f\" x2=\"%.1f\" y2=\"%.1f\" "
          "stroke=\"%s\" stroke-width=\"%.1f\" marker-end=\"url(#arrow-%s-%c)\"/>",
          "xyz"[e], x, y, tx, ty, AXIS_COLOUR[e], stroke, view.key, "xyz"[e]);
    piece(svg,
          "<text class=\"axis-label\" x=\"%.1f\" y=\"%.1f\" font-size=\"%.1f\" "
          "fill=\"%s\" text-anchor=\"middle\" dominant-baseline=\"middle\">%s</text>",
          view.sx(beyond), view.sy(beyond), font * 0.75, AXIS_COLOUR[e], AXIS_NAME[e]);
}

// The three axes of a found atom's frame (nothing when its reference atoms span no frame);
// hidden until the atom is pointed at or all frames are asked for.
void frameArrows(std::string& svg, const RunReport& run, int i, vec p, const Scene& scene, const View& view,
                 double font) {
    const AtomRecord& a = run.atom(i);
    char scratch0[24], scratch2[24];
    auto p0 = scene.where.find(run.referenceLabel(a.atom0, scratch0));
    auto p2 = scene.where.find(run.referenceLabel(a.atom2, scratch2));
    vec axes[3];
    if (p0 == scene.where.end() || p2 == scene.where.end() ||
        !localAxes(p, p0->second, p2->second, axisCode(a.ax1), axisCode(a.ax2), axes))
        return;
    svg += "<g class=\"axes\" data-atom=\"";
    appendEscaped(svg, a.label);
    svg += "\">";
    for (int e = 0; e < 3; ++e) axisArrow(svg, e, p, axes[e], view, font);
    svg += "</g>\n";
}

}  // namespace

// ---- labels placed without overlaps

std::vector<LabelPlacement> placeLabels(const std::vector<LabelRequest>& wanted, double width, double height) {
    std::vector<LabelPlacement> placed(wanted.size());
    // boxes already placed, binned on a coarse grid: first the atoms themselves (a label
    // covers no other atom), then the labels as they are placed
    const std::size_t n = wanted.size();
    std::vector<LabelPlacement> boxes(2 * n);
    const double cell = 48;
    std::unordered_map<long long, std::vector<std::size_t>> grid;
    auto key = [](long long gx, long long gy) { return gx * 1000003LL + gy; };
    auto enter = [&](std::size_t slot) {
        const LabelPlacement& b = boxes[slot];
        for (long long gx = static_cast<long long>(std::floor(b.x0 / cell)); gx <= static_cast<long long>(std::floor(b.x1 / cell)); ++gx)
            for (long long gy = static_cast<long long>(std::floor(b.y0 / cell)); gy <= static_cast<long long>(std::floor(b.y1 / cell)); ++gy)
                grid[key(gx, gy)].push_back(slot);
    };
    for (std::size_t k = 0; k < n; ++k) {
        const LabelRequest& w = wanted[k];
        const double r = 0.8 * w.radius;
        boxes[n + k] = {true, w.x, w.y, w.x - r, w.y - r, w.x + r, w.y + r};
        enter(n + k);
    }
    std::size_t owner = 0;  // the atom whose label is being placed: its own disc is no obstacle
    auto overlaps = [&](const LabelPlacement& b) {
        for (long long gx = static_cast<long long>(std::floor(b.x0 / cell)); gx <= static_cast<long long>(std::floor(b.x1 / cell)); ++gx)
            for (long long gy = static_cast<long long>(std::floor(b.y0 / cell)); gy <= static_cast<long long>(std::floor(b.y1 / cell)); ++gy) {
                auto it = grid.find(key(gx, gy));
                if (it == grid.end()) continue;
                for (std::size_t slot : it->second) {
                    if (slot == n + owner) continue;
                    const LabelPlacement& o = boxes[slot];
                    if (b.x0 < o.x1 && o.x0 < b.x1 && b.y0 < o.y1 && o.y0 < b.y1) return true;
                }
            }
        return false;
    };
    // the order: labels of heavier priority first (hydrogens last)
    std::vector<std::size_t> order(wanted.size());
    for (std::size_t n = 0; n < order.size(); ++n) order[n] = n;
    std::stable_sort(order.begin(), order.end(),
                     [&](std::size_t a, std::size_t b) { return wanted[a].priority < wanted[b].priority; });
    for (std::size_t k : order) {
        owner = k;
        const LabelRequest& w = wanted[k];
        // eight directions, the preferred one (away from the bonds) first
        const double base = std::atan2(w.dy, w.dx);
        for (int t = 0; t < 8; ++t) {
            const double angle = base + (t % 2 == 0 ? 1 : -1) * ((t + 1) / 2) * (M_PI / 4);
            const double dx = std::cos(angle), dy = std::sin(angle);
            const double cx = w.x + dx * (w.radius + 0.5 * w.width + 1), cy = w.y + dy * (w.radius + 0.5 * w.height + 1);
            LabelPlacement b{true, cx, cy, cx - 0.5 * w.width, cy - 0.5 * w.height, cx + 0.5 * w.width, cy + 0.5 * w.height};
            if (b.x0 < 0 || b.y0 < 0 || b.x1 > width || b.y1 > height || overlaps(b)) continue;
            placed[k] = boxes[k] = b;
            enter(k);
            break;
        }
    }
    return placed;
}

namespace {

// The labels of a view: every site asks for one beside it, away from its bonds; what cannot
// be placed without overlapping is left to the atom's tooltip (hydrogens give way first).
// Returns how many labels were left out.
int labelLayer(std::string& svg, const RunReport& run, const Scene& scene, const View& view, double font) {
    std::vector<LabelRequest> wanted;
    wanted.reserve(scene.sites.size());
    for (std::size_t k = 0; k < scene.sites.size(); ++k) {
        const Site& site = scene.sites[k];
        LabelRequest w;
        w.x = view.sx(site.p);
        w.y = view.sy(site.p);
        for (std::size_t n : scene.bonded[k]) {
            const double dx = view.sx(scene.sites[n].p) - w.x, dy = view.sy(scene.sites[n].p) - w.y;
            const double d = std::hypot(dx, dy);
            if (d > 1e-6) {
                w.dx -= dx / d;
                w.dy -= dy / d;
            }
        }
        if (std::hypot(w.dx, w.dy) < 0.3) {
            w.dx = 0.7;
            w.dy = -0.7;
        }
        const double size = site.image ? 0.85 * font : font;
        w.width = 0.62 * size * static_cast<double>(site.label.size()) + 2;
        w.height = 1.25 * size + 1;
        w.radius = siteRadius(site, view);
        const bool hydrogen = std::strcmp(site.element, "H") == 0;
        w.priority = (hydrogen ? 2 : 0) + (site.image ? 1 : 0);
        wanted.push_back(w);
    }
    const std::vector<LabelPlacement> placed = placeLabels(wanted, view.width, view.height);
    int dropped = 0;
    std::string label;
    svg += "<g class=\"labels\" font-family=\"monospace\">\n";
    for (std::size_t k = 0; k < placed.size(); ++k) {
        if (!placed[k].placed) {
            ++dropped;
            continue;
        }
        const Site& site = scene.sites[k];
        const bool found = site.image || run.found(site.atom);
        const double size = site.image ? 0.85 * font : font;
        piece(svg,
              "<text class=\"label%s\" x=\"%.1f\" y=\"%.1f\" font-size=\"%.1f\" fill=\"%s\" text-anchor=\"middle\" "
              "dominant-baseline=\"central\"%s>%s</text>\n",
              site.image ? " image" : "", placed[k].x, placed[k].y, size,
              site.image ? "#607d8b" : found ? "#111" : "#b71c1c", site.image ? " font-style=\"italic\"" : "",
              escaped(label, site.label));
    }
    svg += "</g>\n";
    return dropped;
}

// The cell axes as a small triad in the lower left corner.
void cellTriad(std::string& svg, const RunReport& run, const View& view) {
    const CellGeometry& g = run.geometry;
    const double ox = 40, oy = view.height - 40, length = 22;
    svg += "<g class=\"cell-axes\">";
    for (int c = 0; c < 3; ++c) {
        double unit[3] = {0, 0, 0}, out[3];
        unit[c] = 1;
        g.toCartesian(unit, out);
        const vec d = normalised(toVec(out));
        const double x = ox + length * dot(d, view.across), y = oy - length * dot(d, view.up);
        piece(svg,
              "<line x1=\"%.1f\" y1=\"%.1f\" x2=\"%.1f\" y2=\"%.1f\" stroke=\"%s\" stroke-width=\"2\"/>"
              "<text x=\"%.1f\" y=\"%.1f\" font-size=\"11\" fill=\"%s\" text-anchor=\"middle\" "
              "dominant-baseline=\"central\">%c</text>",
              ox, oy, x, y, CELL_COLOUR[c], ox + 1.3 * (x - ox), oy + 1.3 * (y - oy), CELL_COLOUR[c], "abc"[c]);
    }
    svg += "</g>\n";
}

int drawView(TextSink& out, const RunReport& run, const Scene& scene, const View& view, bool shown) {
    const double font = std::max(9.0, std::min(14.0, 0.3 * view.scale));
    std::string& svg = out.text();
    svgStart(svg, view, shown);
    bondLayer(svg, scene, view);

    // sites back to front
    std::vector<std::size_t> order(scene.sites.size());
    for (std::size_t k = 0; k < order.size(); ++k) order[k] = k;
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        return dot(scene.sites[a].p - view.centre, view.depth) < dot(scene.sites[b].p - view.centre, view.depth);
    });
    std::string axesLayer = "<g class=\"frames\">\n";
    Scratch scratch;
    svg += "<g class=\"atoms\">\n";
    for (std::size_t k : order) {
        atomShape(svg, run, scene, k, view, scratch);
        const Site& site = scene.sites[k];
        if (!site.image && run.found(site.atom))
            frameArrows(axesLayer, run, site.atom, site.p, scene, view, font);
        out.spill();
    }
    svg += "</g>\n";
    dummyLayer(svg, scene, view, font);
    const int dropped = labelLayer(svg, run, scene, view, font);
    svg += axesLayer;
    svg += "</g>\n";
    cellTriad(svg, run, view);
    svg += "</svg>\n";
    return dropped;
}

void drawing(TextSink& out, const RunReport& run) {
    const Scene scene = collectScene(run);
    std::vector<View> views = makeViews(run, scene);
    const bool oneView = scene.sites.size() > static_cast<std::size_t>(ONE_VIEW_LIMIT);
    if (oneView) views.resize(1);
    std::string& html = out.text();
    // the view and the frames switch by CSS alone: radio buttons and a check box before the views
    for (const View& v : views)
        piece(html, "<input type=\"radio\" name=\"view\" class=\"switch\" id=\"view-%s\"%s>", v.key,
              v.key == views[0].key ? " checked" : "");
    html += "<input type=\"checkbox\" class=\"switch\" id=\"all-axes\">\n<div class=\"controls\">View: ";
    for (const View& v : views) piece(html, "<label for=\"view-%s\">%s</label> ", v.key, v.caption);
    html += "&nbsp; <label for=\"all-axes\">local axes of every atom</label></div>\n<div class=\"views\">\n";
    int dropped = 0;
    for (std::size_t n = 0; n < views.size(); ++n) {
        const int d = drawView(out, run, scene, views[n], n == 0);
        if (n == 0) dropped = d;
    }
    html += "</div>\n";
    piece(html,
          "<p class=\"note\">Ellipsoids at 50 %% probability (circles for isotropic atoms, small spheres of "
          "0.15 &Aring; for isotropic hydrogens; symmetry images faded). Point at an atom to see its name and local axes (0.6 &Aring;). ");
    if (oneView)
        piece(html,
              "<span class=\"one-view\">%zu atoms and images are drawn in the best view only (more than %d: views "
              "along a, b and c would make the page too heavy). </span>",
              scene.sites.size(), ONE_VIEW_LIMIT);
    if (dropped > 0)
        piece(html, "<span class=\"labels-dropped\" data-count=\"%d\">%d %s would overlap and %s left out "
                    "(hydrogens first); the tooltips name those atoms.</span>",
              dropped, dropped, dropped == 1 ? "label" : "labels", dropped == 1 ? "is" : "are");
    html += "</p>\n";
}

void legend(std::string& html, const RunReport& run) {
    html += "<div class=\"legend\">";
    std::vector<std::string> seen;
    for (int i = 0; i < run.atoms(); ++i) {
        const std::string e = run.element(i);
        if (std::find(seen.begin(), seen.end(), e) != seen.end()) continue;
        seen.push_back(e);
        piece(html,
              "<span><svg width=\"16\" height=\"16\"><circle cx=\"8\" cy=\"8\" r=\"6\" fill=\"%s\" stroke=\"%s\"/>"
              "</svg>%s</span>",
              elementColour(e.c_str()), FOUND_STROKE, e.c_str());
    }
    piece(html,
          "<span><svg width=\"16\" height=\"16\"><circle cx=\"8\" cy=\"8\" r=\"6\" fill=\"#eee\" stroke=\"%s\" "
          "stroke-width=\"3\"/></svg>not in the database (input values kept)</span>",
          MISSING_STROKE);
    html += "<span><svg width=\"16\" height=\"16\"><circle cx=\"8\" cy=\"8\" r=\"6\" fill=\"#eee\" stroke=\"#263238\" "
            "stroke-dasharray=\"4 2\"/></svg>disorder part</span>";
    html += "<span><svg width=\"16\" height=\"16\"><circle cx=\"8\" cy=\"8\" r=\"6\" fill=\"#eee\" stroke=\"#263238\" "
            "opacity=\"0.4\"/></svg>symmetry image</span>";
    for (int k = 0; k < 3; ++k)
        piece(html,
              "<span><svg width=\"28\" height=\"12\"><line x1=\"2\" y1=\"6\" x2=\"24\" y2=\"6\" stroke=\"%s\" "
              "stroke-width=\"2\"/><path d=\"M20,2 L27,6 L20,10 z\" fill=\"%s\"/></svg>local %s axis</span>",
              AXIS_COLOUR[k], AXIS_COLOUR[k], AXIS_NAME[k]);
    html += "<span><svg width=\"16\" height=\"16\"><path d=\"M3,3 L13,13 M3,13 L13,3\" stroke=\"#444\" "
            "stroke-width=\"1.5\"/></svg>dummy atom</span>";
    html += "<span><svg width=\"16\" height=\"16\"><path d=\"M3,3 L13,13 M3,13 L13,3\" stroke=\"#d50000\" "
            "stroke-width=\"2.5\"/></svg>dummy without a position rule (left at 0,0,0)</span>";
    html += "</div>\n";
}

// The frame cell: axes towards their reference atoms, then the dummies among those.
void frameText(std::string& html, const RunReport& run, int i, Scratch& scratch) {
    const AtomRecord& a = run.atom(i);
    char label[24];
    html += axisLetter(a.ax1);
    html += "&rarr;";
    appendEscaped(html, run.referenceLabel(a.atom0, label));
    html += ", ";
    html += axisLetter(a.ax2);
    html += "&rarr;";
    appendEscaped(html, run.referenceLabel(a.atom2, label));
    for (int number : {a.atom0, a.atom2}) {
        if (run.dummyOf(number) < 0) continue;
        const double* f = run.atom(number - 1).frac;
        piece(html, "<br><span class=\"note\">%s at %.4f %.4f %.4f",
              escaped(scratch.a, run.referenceLabel(number, label)), f[0], f[1], f[2]);
        const int image = run.imageOfDummy(run.dummyOf(number));
        if (image >= 0) piece(html, ", stands for %s", escaped(scratch.a, run.image(image).label));
        if (run.dummyUnplaced(run.dummyOf(number))) html += ", <b>no position rule applied</b>";
        html += "</span>";
    }
}

void atomRow(std::string& html, const RunReport& run, int i, Scratch& scratch) {
    const AtomRecord& a = run.atom(i);
    const bool found = run.found(i);
    piece(html, "<tr class=\"atom-row %s\" data-label=\"%s\">", found ? "found" : "missing",
          escaped(scratch.a, a.label));
    html += "<td>";
    appendEscaped(html, a.label);
    html += "</td><td>";
    html += run.element(i);
    html += "</td><td class=\"name\">";
    appendEscaped(html, run.name(i));
    html += "</td><td class=\"found\">";
    html += found ? "yes" : "MISSING";
    html += "</td>";
    if (found) {
        html += "<td>";
        if (const std::string* compound = run.modelCompound(i)) appendEscaped(html, *compound);
        html += "</td>";
    } else {
        html += "<td>";
        const std::vector<NearEntry>& nearest = run.nearest(i);
        if (nearest.empty()) {
            html += "<span class=\"note\">no database entry of this element</span>";
        } else {
            html += "<span class=\"note\">nearest entries:</span><ol class=\"nearest\">";
            for (const NearEntry& e : nearest)
                piece(html,
                      "<li><code>%s</code> &mdash; %s <span class=\"note\">(%d shared neighbour terms, "
                      "%d term edits)</span></li>",
                      escaped(scratch.a, e.name), escaped(scratch.b, e.modelCompound), e.sharedTerms, e.edits);
            html += "</ol>";
        }
        html += "</td>";
    }
    html += "<td>";
    appendEscaped(html, a.siteSym);
    html += "</td><td>";
    frameText(html, run, i, scratch);
    html += "</td>";
    piece(html, "<td class=\"num\">%.4f</td><td class=\"num\">%d</td><td class=\"num\">%d</td>", run.occupancy(i),
          run.part(i), run.kappaSet(i));
    const double* k = run.kappa(i);
    piece(html, "<td class=\"num\" title=\"%.4f %.4f %.4f %.4f %.4f %.4f\">%.4f / %.4f</td>", k[0], k[1], k[2], k[3],
          k[4], k[5], k[0], k[1]);
    piece(html, "<td class=\"num\">%.4f</td><td class=\"num\">%.4f</td><td class=\"num\">%.4f</td><td class=\"num\">%d</td>",
          run.populations(i)[0], run.monopoleBefore(i), run.monopoleWritten(i), run.molecule(i));
    html += "</tr>\n";
}

void moleculeTable(std::string& html, const RunReport& run) {
    html += "<table class=\"molecules\"><tr><th>Molecule</th><th>Atoms</th><th>Valence electrons "
            "expected</th><th>Sum of found monopoles</th><th>Correction</th></tr>\n";
    const MonopoleCorrection& c = run.correction;
    const std::vector<int> sizes = run.moleculeSizes();
    std::string what;
    for (std::size_t m = 0; m < c.applies.size(); ++m) {
        what = "none";
        if (c.applies[m] != 0) {
            what.clear();
            switch (c.mode) {
            case 1:
                appendEscaped(what, "monopoles multiplied by a factor");
                piece(what, ": %s %.6f", "factor", c.corrFactor[m]);
                break;
            case 2:
                appendEscaped(what, "electronegativity-weighted share of the difference added");
                piece(what, ": %s %.6f", "difference", c.difference[m]);
                break;
            case 3:
                appendEscaped(what, "average difference added to the hydrogen monopoles");
                piece(what, ": %s %.6f", "addedPerHydrogen", c.corrHydrogen[m]);
                break;
            default:
                appendEscaped(what, "average difference added to every monopole");
                piece(what, ": %s %.6f", "addedPerAtom", c.corrAverage[m]);
                break;
            }
        }
        piece(html,
              "<tr><td class=\"num\">%d</td><td class=\"num\">%d</td><td class=\"num\">%.4f</td>"
              "<td class=\"num\">%.4f</td><td>%s</td></tr>\n",
              static_cast<int>(m + 1), sizes[m], c.expected[m], c.monopoleSum[m], what.c_str());
    }
    html += "</table>\n";
}

}  // namespace

namespace {

// A few lines of script: a click on a column heading sorts the table by it; pointing at an
// atom shows its local axes.
const char* const SCRIPT = R"(
document.querySelectorAll('table.sortable').forEach(function (t) {
  t.querySelectorAll('thead th').forEach(function (th, c) {
    th.classList.add('sortable');
    th.addEventListener('click', function () {
      var body = t.tBodies[0], rows = Array.prototype.slice.call(body.rows), dir = th.dataset.dir === '1' ? -1 : 1;
      th.dataset.dir = dir;
      rows.sort(function (x, y) {
        var p = x.cells[c].textContent, q = y.cells[c].textContent, m = parseFloat(p), n = parseFloat(q);
        return dir * (isNaN(m) || isNaN(n) ? p.localeCompare(q) : m - n);
      });
      rows.forEach(function (r) { body.appendChild(r); });
    });
  });
});
document.querySelectorAll('svg.drawing').forEach(function (svg) {
  svg.addEventListener('mouseover', function (e) {
    var atom = e.target.closest('.atom');
    if (!atom) return;
    svg.querySelectorAll('.axes').forEach(function (a) { a.classList.toggle('on', a.dataset.atom === atom.dataset.label); });
  });
});
)";

void provenance(std::string& html, const RunReport& run) {
    const Provenance& p = run.provenance;
    html += "<dl class=\"provenance\">\n<dt>Program</dt><dd>";
    appendEscaped(html, p.version.empty() ? "QuandrelTool" : p.version);
    html += "</dd>\n<dt>Date</dt><dd>";
    appendEscaped(html, p.date);
    html += "</dd>\n<dt>Switches</dt><dd><code>";
    if (p.arguments.empty()) html += "(none)";
    for (const std::string& a : p.arguments) {
        appendEscaped(html, a);
        html += ' ';
    }
    html += "</code></dd>\n<dt>Settings file</dt><dd><code>";
    appendEscaped(html, run.options().settingsPath);
    html += "</code></dd>\n<dt>Database</dt><dd><code>";
    appendEscaped(html, run.databasePath());
    piece(html, "</code>, %zu %s</dd>\n", run.entries, run.entries == 1 ? "entry" : "entries");
    for (const InputFile& f : run.inputFiles()) {
        html += "<dt>";
        appendEscaped(html, f.role);
        html += "</dt><dd><code>";
        appendEscaped(html, f.path);
        html += "</code>, modified ";
        appendEscaped(html, f.modified);
        html += "</dd>\n";
    }
    const std::string group = run.spaceGroup();
    html += "<dt>Space group</dt><dd>";
    appendEscaped(html, group.empty() ? "not identified" : group);
    piece(html, " (%zu operators)</dd>\n</dl>\n", run.operators().size());
}

// Missing names, each once: how many atoms carry it and its nearest database entries.
void missingSummary(std::string& html, const RunReport& run, Scratch& scratch) {
    std::vector<std::pair<std::string, std::vector<int>>> names;
    std::unordered_map<std::string, std::size_t> at;
    for (int i = 0; i < run.atoms(); ++i) {
        if (run.found(i)) continue;
        auto it = at.emplace(run.name(i), names.size());
        if (it.second) names.push_back({run.name(i), {}});
        names[it.first->second].second.push_back(i);
    }
    if (names.empty()) return;
    html += "<h3>Names not in the database</h3>\n<table class=\"missing-names sortable\"><thead><tr><th>Quandrel "
            "name</th><th>Atoms</th><th>Labels</th><th>Nearest entries</th></tr></thead><tbody>\n";
    for (const auto& n : names) {
        html += "<tr class=\"missing-name\"><td class=\"name\">";
        appendEscaped(html, n.first);
        piece(html, "</td><td class=\"num\">%zu</td><td>", n.second.size());
        for (std::size_t k = 0; k < n.second.size() && k < 8; ++k) {
            appendEscaped(html, run.label(n.second[k]));
            html += ' ';
        }
        if (n.second.size() > 8) piece(html, "&hellip; (%zu more)", n.second.size() - 8);
        html += "</td><td>";
        const std::vector<NearEntry>& nearest = run.nearest(n.second[0]);
        if (nearest.empty()) html += "<span class=\"note\">no database entry of this element</span>";
        for (const NearEntry& e : nearest)
            piece(html, "<code>%s</code> &mdash; %s<br>", escaped(scratch.a, e.name), escaped(scratch.b, e.modelCompound));
        html += "</td></tr>\n";
    }
    html += "</tbody></table>\n";
}

void imageTable(std::string& html, const RunReport& run) {
    if (run.images() == 0) return;
    const std::vector<std::string> ops = run.operators();
    piece(html, "<h2>Symmetry images</h2>\n<p class=\"note\">%d images complete the molecules; they are drawn faded "
                "with their bonds.</p>\n<table class=\"images sortable\"><thead><tr><th>Image</th><th>Atom</th>"
                "<th>Operator</th><th>Translation</th></tr></thead><tbody>\n", run.images());
    for (int k = 0; k < run.images(); ++k) {
        const ImageView v = run.image(k);
        html += "<tr><td>";
        appendEscaped(html, v.label);
        html += "</td><td>";
        appendEscaped(html, run.label(v.origin));
        piece(html, "</td><td>%d: ", v.op);
        if (v.op >= 1 && static_cast<std::size_t>(v.op) <= ops.size()) appendEscaped(html, ops[static_cast<std::size_t>(v.op - 1)]);
        piece(html, "</td><td>%d %d %d</td></tr>\n", v.shift[0], v.shift[1], v.shift[2]);
    }
    html += "</tbody></table>\n";
}

// "Check before refining": the warnings the run collected, counted per kind, then each.
void checkBeforeRefining(std::string& html, const RunReport& run) {
    const std::vector<RunWarning>& warnings = run.warnings();
    if (warnings.empty()) return;
    html += "<section class=\"warnings\">\n<h2>Check before refining</h2>\n<ul class=\"warning-counts\">";
    for (const auto& c : run.warningCounts()) {
        html += "<li><b>";
        appendEscaped(html, c.first);
        piece(html, "</b>: %d</li>", c.second);
    }
    html += "</ul>\n<table class=\"warnings sortable\"><thead><tr><th>Kind</th><th>Atoms</th><th>Warning (also on "
            "standard error)</th></tr></thead><tbody>\n";
    for (const RunWarning& w : warnings) {
        html += "<tr class=\"warning\"><td>";
        appendEscaped(html, w.kind);
        html += "</td><td>";
        for (const std::string& a : w.atoms) {
            appendEscaped(html, a);
            html += ' ';
        }
        html += "</td><td>";
        appendEscaped(html, w.text);
        html += "</td></tr>\n";
    }
    html += "</tbody></table>\n<p class=\"note\">Every warning the run wrote to standard error, in its order.</p>\n"
            "</section>\n";
}

// ---- Fit to the data (runs with -hkl): both models' R-values, R1 in resolution shells and
// k F2_calc / F2_obs of every observed reflection against sin(theta)/lambda.

const char* const MODEL_COLOUR[2] = {"#1565c0", "#ef6c00"};  // transferred, spherical
const char* const MODEL_NAME[2] = {"transferred multipole model", "spherical atoms"};

// A step of about span / wanted on the 1, 2, 2.5, 5 scale.
double niceStep(double span, int wanted) {
    const double raw = span > 0 ? span / wanted : 1;
    const double magnitude = std::pow(10.0, std::floor(std::log10(raw)));
    for (double m : {1.0, 2.0, 2.5, 5.0})
        if (m * magnitude >= raw * (1 - 1e-9)) return m * magnitude;
    return 10 * magnitude;
}

// A plot's frame: the data range (y in log2 units for a log axis) mapped onto the drawing.
struct Plot {
    double width = 640, height = 300;
    double left = 64, right = 18, top = 34, bottom = 46;
    double x0 = 0, x1 = 1, y0 = 0, y1 = 1;
    bool logY = false;

    double px(double x) const { return left + (x - x0) / (x1 - x0) * (width - left - right); }
    double py(double y) const {
        const double v = logY ? std::log2(y) : y;
        return height - bottom - (v - y0) / (y1 - y0) * (height - top - bottom);
    }
};

void plotStart(std::string& svg, const Plot& p, const char* cls, const char* label) {
    piece(svg,
          "<svg class=\"plot %s\" xmlns=\"http://www.w3.org/2000/svg\" viewBox=\"0 0 %.0f %.0f\" width=\"%.0f\" "
          "height=\"%.0f\" role=\"img\" aria-label=\"%s\" style=\"border: 1px solid #ccc; background: #fcfcfc; "
          "max-width: 100%%; height: auto; margin: 0.3em 1em 0.3em 0;\" font-size=\"11\">\n",
          cls, p.width, p.height, p.width, p.height, label);
}

// The frame, the ticks of both axes with their labels, the axis titles.
void plotAxes(std::string& svg, const Plot& p, double xStep, const std::vector<std::pair<double, std::string>>& yTicks,
              const char* xTitle, const char* yTitle) {
    const double bottom = p.height - p.bottom, right = p.width - p.right;
    svg += "<g class=\"axes-frame\" stroke=\"#bbb\" fill=\"none\">";
    piece(svg, "<rect x=\"%.1f\" y=\"%.1f\" width=\"%.1f\" height=\"%.1f\"/>", p.left, p.top, right - p.left,
          bottom - p.top);
    svg += "</g>\n<g class=\"ticks\" fill=\"#444\">";
    for (double x = 0; x <= p.x1 + 1e-9; x += xStep) {
        if (x < p.x0 - 1e-9) continue;
        piece(svg, "<line x1=\"%.1f\" y1=\"%.1f\" x2=\"%.1f\" y2=\"%.1f\" stroke=\"#bbb\"/>", p.px(x), bottom, p.px(x),
              bottom + 4);
        piece(svg, "<text x=\"%.1f\" y=\"%.1f\" text-anchor=\"middle\">%g</text>", p.px(x), bottom + 16,
              std::round(x * 1000) / 1000);
    }
    for (const auto& t : yTicks) {
        const double y = p.py(t.first);
        piece(svg, "<line x1=\"%.1f\" y1=\"%.1f\" x2=\"%.1f\" y2=\"%.1f\" stroke=\"#e3e3e3\"/>", p.left, y, right, y);
        piece(svg, "<text x=\"%.1f\" y=\"%.1f\" text-anchor=\"end\" dominant-baseline=\"central\">%s</text>",
              p.left - 5, y, t.second.c_str());
    }
    piece(svg, "</g>\n<text x=\"%.1f\" y=\"%.1f\" text-anchor=\"middle\" fill=\"#222\">%s</text>\n",
          0.5 * (p.left + right), p.height - 8, xTitle);
    piece(svg,
          "<text x=\"14\" y=\"%.1f\" text-anchor=\"middle\" fill=\"#222\" transform=\"rotate(-90 14 %.1f)\">%s</text>\n",
          0.5 * (p.top + bottom), 0.5 * (p.top + bottom), yTitle);
}

// The two models' colours, above the frame (they hide no data there).
void plotLegend(std::string& svg, const Plot& p) {
    svg += "<g class=\"legend\">";
    for (int m = 0; m < 2; ++m) {
        const double x = p.left + 4 + 200 * m, y = p.top - 17;
        piece(svg,
              "<circle cx=\"%.1f\" cy=\"%.1f\" r=\"4\" fill=\"%s\"/><text x=\"%.1f\" y=\"%.1f\" "
              "dominant-baseline=\"central\" fill=\"#222\">%s</text>",
              x, y, MODEL_COLOUR[m], x + 10, y, MODEL_NAME[m]);
    }
    svg += "</g>\n";
}

// R1(F) per resolution shell of both models, at the shells' middles, joined by lines.
void shellPlot(std::string& html, const scattering::FitToData& fit) {
    const std::vector<scattering::ResolutionShell>* shells[2] = {&fit.model.shells, &fit.spherical.shells};
    Plot p;
    double top = 0;
    for (const auto* s : shells)
        for (const scattering::ResolutionShell& shell : *s) {
            p.x1 = std::max(p.x1, shell.stolMax);
            top = std::max(top, shell.r1);
        }
    const double xStep = niceStep(p.x1, 8);
    p.x1 = std::ceil(p.x1 / xStep - 1e-9) * xStep;
    const double yStep = niceStep(top > 0 ? top : 0.1, 5);
    p.y1 = std::max(1.0, std::ceil(top / yStep - 1e-9)) * yStep;
    std::vector<std::pair<double, std::string>> ticks;
    for (double y = 0; y <= p.y1 + 1e-9; y += yStep) ticks.emplace_back(y, format("%g", std::round(y * 1e4) / 1e4));
    plotStart(html, p, "fit-shells", "R1(F) in resolution shells, both models");
    plotAxes(html, p, xStep, ticks, "sin(&#952;)/&#955; (1/&#197;), middle of the shell",
             "R1(F) of the shell (all reflections)");
    for (int m = 0; m < 2; ++m) {
        piece(html, "<g class=\"model model-%s\" stroke=\"%s\" fill=\"%s\">", m == 0 ? "transferred" : "spherical",
              MODEL_COLOUR[m], MODEL_COLOUR[m]);
        html += "<polyline fill=\"none\" stroke-width=\"2\" points=\"";
        for (const scattering::ResolutionShell& shell : *shells[m])
            piece(html, "%.1f,%.1f ", p.px(0.5 * (shell.stolMin + shell.stolMax)), p.py(shell.r1));
        html += "\"/>\n";
        for (const scattering::ResolutionShell& shell : *shells[m])
            piece(html,
                  "<circle class=\"shell\" cx=\"%.1f\" cy=\"%.1f\" r=\"3.5\"><title>%s: sin(&#952;)/&#955; %.3f to "
                  "%.3f, %d reflections, R1(F) %.4f</title></circle>\n",
                  p.px(0.5 * (shell.stolMin + shell.stolMax)), p.py(shell.r1), MODEL_NAME[m], shell.stolMin,
                  shell.stolMax, shell.count, shell.r1);
        html += "</g>\n";
    }
    plotLegend(html, p);
    html += "</svg>\n";
}

// Points drawn at most per model; above it every n-th reflection is drawn.
constexpr std::size_t MAX_RATIO_POINTS = 20000;

// k F2_calc / F2_obs of every reflection with F2_obs > 2 sigma against sin(theta)/lambda, on a
// log2 axis symmetric about 1; a ratio beyond the axis is drawn on its edge. The points of a
// model are one path of zero-length round-capped segments (a dot each, a few bytes each).
void ratioPlot(std::string& html, const scattering::FitToData& fit) {
    const std::vector<double>* f2calc[2] = {&fit.f2Model, &fit.f2Spherical};
    const double scale[2] = {fit.model.overall.scale, fit.spherical.overall.scale};
    std::vector<std::size_t> observed;
    for (std::size_t i = 0; i < fit.data.size(); ++i)
        if (fit.data[i].f2 > 2 * fit.data[i].sigma && fit.data[i].f2 > 0) observed.push_back(i);
    Plot p;
    p.logY = true;
    double spread = 1;  // log2 of the largest ratio (or its inverse) drawn
    std::vector<double> logs;
    for (int m = 0; m < 2; ++m)
        for (std::size_t i : observed) {
            const double r = scale[m] * (*f2calc[m])[i] / fit.data[i].f2;
            if (r > 0 && std::isfinite(r)) logs.push_back(std::fabs(std::log2(r)));
        }
    if (!logs.empty()) {
        // the axis holds 99 % of the ratios, between 1/2..2 and 1/16..16
        const std::size_t at = std::min(logs.size() - 1, static_cast<std::size_t>(0.99 * static_cast<double>(logs.size())));
        std::nth_element(logs.begin(), logs.begin() + static_cast<std::ptrdiff_t>(at), logs.end());
        spread = std::min(4.0, std::max(1.0, std::ceil(logs[at] - 1e-9)));
    }
    p.y0 = -spread;
    p.y1 = spread;
    for (std::size_t i : observed) p.x1 = std::max(p.x1, fit.stol[i]);
    const double xStep = niceStep(p.x1, 8);
    p.x1 = std::ceil(p.x1 / xStep - 1e-9) * xStep;
    std::vector<std::pair<double, std::string>> ticks;
    for (int e = -static_cast<int>(spread); e <= static_cast<int>(spread); ++e)
        ticks.emplace_back(std::ldexp(1.0, e), format("%g", std::ldexp(1.0, e)));
    plotStart(html, p, "fit-ratio", "k F2 calc / F2 obs against sin(theta)/lambda, both models");
    plotAxes(html, p, xStep, ticks, "sin(&#952;)/&#955; (1/&#197;)", "k F&#178;calc / F&#178;obs (log scale)");
    piece(html, "<line class=\"unity\" x1=\"%.1f\" y1=\"%.1f\" x2=\"%.1f\" y2=\"%.1f\" stroke=\"#666\"/>\n", p.left,
          p.py(1), p.width - p.right, p.py(1));
    const std::size_t stride = observed.size() > MAX_RATIO_POINTS ? (observed.size() + MAX_RATIO_POINTS - 1) / MAX_RATIO_POINTS : 1;
    int clipped = 0;
    for (int m = 1; m >= 0; --m) {  // the transferred model's points on top
        piece(html,
              "<path class=\"points model-%s\" stroke=\"%s\" stroke-opacity=\"0.55\" stroke-width=\"3\" "
              "stroke-linecap=\"round\" fill=\"none\" d=\"",
              m == 0 ? "transferred" : "spherical", MODEL_COLOUR[m]);
        for (std::size_t n = 0; n < observed.size(); n += stride) {
            const std::size_t i = observed[n];
            double r = scale[m] * (*f2calc[m])[i] / fit.data[i].f2;
            if (!(r > 0) || !std::isfinite(r)) r = std::ldexp(1.0, -static_cast<int>(spread));
            const double lo = std::ldexp(1.0, -static_cast<int>(spread)), hi = std::ldexp(1.0, static_cast<int>(spread));
            if (r < lo || r > hi) ++clipped;
            piece(html, "M%.1f %.1fh0", p.px(fit.stol[i]), p.py(std::min(hi, std::max(lo, r))));
        }
        html += "\"/>\n";
    }
    // the geometric mean of each resolution shell, a line per model over the points
    const std::vector<scattering::ResolutionShell>* shells[2] = {&fit.model.shells, &fit.spherical.shells};
    for (int m = 1; m >= 0; --m) {
        std::string points;
        for (const scattering::ResolutionShell& shell : *shells[m]) {
            double sum = 0;
            int n = 0;
            for (std::size_t i : observed) {
                const double r = scale[m] * (*f2calc[m])[i] / fit.data[i].f2;
                if (fit.stol[i] < shell.stolMin || fit.stol[i] > shell.stolMax || !(r > 0) || !std::isfinite(r)) continue;
                sum += std::log2(r);
                ++n;
            }
            if (n > 0)
                piece(points, "%.1f,%.1f ", p.px(0.5 * (shell.stolMin + shell.stolMax)),
                      p.py(std::exp2(std::min(spread, std::max(-spread, sum / n)))));
        }
        // a light halo keeps the line apart from the points under it
        piece(html, "<g class=\"shell-means model-%s\" fill=\"none\"><polyline stroke=\"#fcfcfc\" stroke-width=\"5\" points=\"",
              m == 0 ? "transferred" : "spherical");
        html += points;
        piece(html, "\"/><polyline stroke=\"%s\" stroke-width=\"2.5\" points=\"", MODEL_COLOUR[m]);
        html += points;
        html += "\"/></g>\n";
    }
    plotLegend(html, p);
    html += "</svg>\n";
    piece(html,
          "<p class=\"note\">%zu reflections with F&#178;obs &gt; 2&#963; per model%s, k its own scale; the lines "
          "join the geometric means of the resolution shells. ",
          observed.size(),
          stride > 1 ? format(" (every %zu%s drawn)", stride, stride == 2 ? "nd" : stride == 3 ? "rd" : "th").c_str() : "");
    if (clipped > 0) piece(html, "%d points beyond the axis are drawn on its edge.", clipped);
    html += "</p>\n";
}

void fitToDataSection(std::string& html, const RunReport& run) {
    if (run.fit == nullptr) {
        html += "<!-- fit-to-data section -->\n";
        return;
    }
    const scattering::FitToData& fit = *run.fit;
    html += "<section class=\"fit-to-data\">\n<h2>Fit to the data</h2>\n<p class=\"note\">";
    piece(html, "%zu reflections of <code>", fit.data.size());
    appendEscaped(html, fit.reflectionFile);
    html += "</code> against the transferred multipole model (as written to <code>xd.res.quandreltool</code>) and "
            "against spherical atoms (neutral atoms at the same positions with the same U). Each model has its own "
            "scale k on F&#178;, fitted by least squares; <code>Quandrele.fco</code> lists every reflection.</p>\n";
    html += "<table class=\"fit\"><thead><tr><th>Model</th><th>Scale k (F&#178;)</th><th>R1(F), F&#178; &gt; "
            "2&#963;</th><th>R1(F), all</th><th>wR2(F&#178;), unit weights</th><th>wR2(F&#178;), weights "
            "1/&#963;&#178;</th><th>Reflections</th></tr></thead><tbody>\n";
    const scattering::ModelFit* models[2] = {&fit.model, &fit.spherical};
    for (int m = 0; m < 2; ++m) {
        const scattering::FitStatistics& s = models[m]->overall;
        piece(html,
              "<tr class=\"model-%s\"><td><span style=\"color: %s\">&#9679;</span> %s</td><td class=\"num\">%.5f</td>"
              "<td class=\"num\">%.4f (%d)</td><td class=\"num\">%.4f</td><td class=\"num\">%.4f</td>"
              "<td class=\"num\">%.4f</td><td class=\"num\">%d</td></tr>\n",
              m == 0 ? "transferred" : "spherical", MODEL_COLOUR[m], MODEL_NAME[m], s.scale, s.r1Observed, s.observed,
              s.r1All, s.wr2Unit, s.wr2Sigma, s.count);
    }
    html += "</tbody></table>\n<div class=\"fit-plots\">\n";
    shellPlot(html, fit);
    ratioPlot(html, fit);
    piece(html,
          "</div>\n<p class=\"note\">Shells: the reflections in order of sin(&#952;)/&#955;, cut into %zu shells of "
          "equal count; R1 of a shell uses the model's overall scale.</p>\n</section>\n",
          fit.model.shells.size());
}

}  // namespace

void writePage(const RunReport& run, TextSink& out) {
    std::string& html = out.text();
    const std::size_t atoms = static_cast<std::size_t>(run.atoms());
    const int missing = run.missing;
    std::string title;
    appendEscaped(title, run.title());
    const std::string heading = "QuandrelTool report" + (title.empty() ? "" : ": " + title);
    html += "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n<title>";
    html += heading;
    html += "</title>\n<style>";
    html += STYLE;
    html += "</style>\n</head>\n<body>\n<h1>";
    html += heading;
    html += "</h1>\n";
    provenance(html, run);
    checkBeforeRefining(html, run);
    piece(html, "<p class=\"summary\">%zu atoms, %zu found in the database, ", atoms,
          atoms - static_cast<std::size_t>(missing));
    if (missing > 0)
        piece(html, "<span class=\"bad\">%d not found</span>", missing);
    else
        html += "none missing";
    std::vector<char> used(static_cast<std::size_t>(std::max(run.dummies(), 0)), 0);
    std::size_t dummiesUsed = 0, unplaced = 0;
    for (int i = 0; i < run.atoms(); ++i)
        for (int number : {run.atom(i).atom0, run.atom(i).atom2}) {
            const int d = run.dummyOf(number);
            if (d >= 0 && d < run.dummies() && !used[static_cast<std::size_t>(d)]) {
                used[static_cast<std::size_t>(d)] = 1;
                ++dummiesUsed;
                if (run.dummyUnplaced(d)) ++unplaced;
            }
        }
    html += "; ";
    if (dummiesUsed == 0)
        html += "no dummy atom in the frames";
    else
        piece(html, "%zu dummy %s in the frames", dummiesUsed, dummiesUsed == 1 ? "atom" : "atoms");
    if (unplaced > 0)
        piece(html, ", <span class=\"bad\">%zu without a position rule (left at 0,0,0)</span>", unplaced);
    if (run.images() > 0) piece(html, "; %d symmetry images", run.images());
    html += ".</p>\n";
    if (missing > 0)
        html += "<p class=\"note\">Atoms not found keep the values of the input file. For each of them the table "
                "lists the nearest database entries: same central element, most shared first-shell neighbour "
                "terms, fewest term edits. Add an entry for the name, or override the name in "
                "<code>Quandrele.in</code>.</p>\n";

    html += "<h2>Structure</h2>\n";
    if (run.atoms() <= DRAWING_LIMIT) {
        legend(html, run);
        drawing(out, run);
    } else {
        piece(html,
              "<p class=\"note\">The drawing is left out: %d atoms are more than a drawing can show readably (at "
              "most %d are drawn). The table below lists every atom.</p>\n",
              run.atoms(), DRAWING_LIMIT);
    }

    fitToDataSection(html, run);

    html += "<h2>Atoms</h2>\n";
    Scratch scratch;
    missingSummary(html, run, scratch);
    html += "<table class=\"atoms sortable\">\n<thead><tr><th>Label</th><th>Element</th><th>Quandrel name</th>"
            "<th>Found</th><th>Model compound / nearest entries</th><th>Site symmetry</th><th>Frame</th>"
            "<th>Occupancy</th><th>Part</th><th>Kappa set</th><th>&kappa; / &kappa;&prime;</th><th>Pv per atom "
            "(read)</th><th>Monopole &times; occupancy, before correction</th><th>Monopole &times; occupancy, "
            "written</th><th>Molecule</th></tr></thead>\n<tbody>\n";
    for (bool foundPass : {false, true})
        for (int i = 0; i < run.atoms(); ++i)
            if (run.found(i) == foundPass) {
                atomRow(html, run, i, scratch);
                out.spill();
            }
    html += "</tbody></table>\n";
    imageTable(html, run);

    html += "<h2>Electroneutrality</h2>\n";
    moleculeTable(html, run);

    html += "<h2>Settings</h2>\n<table class=\"settings\">\n";
    const nlohmann::ordered_json settings = runSettings(run.options());
    for (const auto& item : settings.items()) {
        html += "<tr><th>";
        appendEscaped(html, item.key());
        html += "</th><td>";
        appendEscaped(html, item.value().is_string() ? item.value().get<std::string>() : item.value().dump());
        html += "</td></tr>\n";
    }
    html += "</table>\n<script>";
    html += SCRIPT;
    html += "</script>\n</body>\n</html>\n";
}

std::string reportPage(const RunReport& run) {
    TextSink out;
    writePage(run, out);
    return out.take();
}
