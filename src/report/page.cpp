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
#include "../geometry/vec.h"
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
)";

const char* const FOUND_FILL = "#66bb6a";
const char* const FOUND_STROKE = "#1b5e20";
const char* const MISSING_FILL = "#ef5350";
const char* const MISSING_STROKE = "#7f0000";
const char* const AXIS_COLOUR[3] = {"#1565c0", "#ef6c00", "#6a1b9a"};  // X, Y, Z
const char* const AXIS_NAME[3] = {"X", "Y", "Z"};

// The view: the two largest principal axes of the atom positions span the drawing plane,
// the smallest is the line of sight.
struct View {
    vec centre, across, up, depth;
    double scale = 40;  // pixels per angstrom
    double left = 0, top = 0;
    double width = 0, height = 0;

    double pad = 60;    // pixels around the drawing, room for labels at its edges

    double sx(vec p) const { return pad + (dot(p - centre, across) - left) * scale; }
    double sy(vec p) const { return pad + (top - dot(p - centre, up)) * scale; }
};

View makeView(const std::vector<vec>& atoms, const std::vector<vec>& extra) {
    View v;
    v.across = {1, 0, 0};
    v.up = {0, 1, 0};
    v.depth = {0, 0, 1};
    if (!atoms.empty()) {
        for (const vec& p : atoms) v.centre = v.centre + p;
        v.centre = (1.0 / static_cast<double>(atoms.size())) * v.centre;
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
        if (atoms.size() > 1 && std::isfinite(values[0]) && std::isfinite(values[2])) {
            v.depth = column(0);
            v.up = column(1);
            v.across = column(2);
            if (dot(cross(v.across, v.up), v.depth) < 0) v.depth = -1.0 * v.depth;
        }
    }
    double minA = 1e300, maxA = -1e300, minU = 1e300, maxU = -1e300;
    auto extend = [&](const vec& p) {
        const double a = dot(p - v.centre, v.across), u = dot(p - v.centre, v.up);
        minA = std::min(minA, a);
        maxA = std::max(maxA, a);
        minU = std::min(minU, u);
        maxU = std::max(maxU, u);
    };
    for (const vec& p : atoms) extend(p);
    for (const vec& p : extra) extend(p);
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
    return v;
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

// What the drawing shows: the atoms' positions and bonded neighbours, and the dummies that
// some frame uses; where finds an atom or any dummy by its label (the first of equal labels).
struct Scene {
    std::vector<std::string> dummyLabels;
    std::unordered_map<std::string_view, vec> where;
    std::vector<vec> atomPoints, dummyPoints;
    std::vector<std::size_t> drawnDummies;  // dummies some frame uses
    std::vector<std::vector<std::size_t>> bonded;
};

Scene collectScene(const RunReport& run) {
    const std::size_t atoms = static_cast<std::size_t>(run.atoms());
    Scene scene;
    std::unordered_map<std::string_view, std::size_t> indexOf;
    scene.atomPoints.reserve(atoms);
    for (std::size_t k = 0; k < atoms; ++k) {
        const AtomRecord& a = run.atom(static_cast<int>(k));
        const vec p = toVec(a.cart);
        indexOf.emplace(a.label, k);
        scene.atomPoints.push_back(p);
        scene.where.emplace(a.label, p);
    }
    scene.bonded.resize(atoms);
    run.forEachBond([&](int i, int j) {
        const std::size_t p = indexOf.find(run.atom(i).label)->second, q = indexOf.find(run.atom(j).label)->second;
        scene.bonded[p].push_back(q);
        scene.bonded[q].push_back(p);
    });
    std::vector<char> used(static_cast<std::size_t>(std::max(run.q.nDummy, 0)), 0);
    for (int i = 0; i < run.atoms(); ++i)
        for (int number : {run.atom(i).atom0, run.atom(i).atom2})
            if (run.dummyOf(number) >= 0) used[static_cast<std::size_t>(run.dummyOf(number))] = 1;
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
        }
    }
    return scene;
}

void svgStart(std::string& svg, const View& view) {
    piece(svg,
          "<svg class=\"drawing\" xmlns=\"http://www.w3.org/2000/svg\" viewBox=\"0 0 %.0f %.0f\" "
          "width=\"%.0f\" height=\"%.0f\" role=\"img\" aria-label=\"Structure drawing\">\n",
          view.width, view.height, view.width, view.height);
    svg += "<defs>\n";
    for (int k = 0; k < 3; ++k)
        piece(svg,
              "<marker id=\"arrow-%c\" viewBox=\"0 0 10 10\" refX=\"9\" refY=\"5\" markerWidth=\"5\" "
              "markerHeight=\"5\" orient=\"auto-start-reverse\"><path d=\"M0,0 L10,5 L0,10 z\" "
              "fill=\"%s\"/></marker>\n",
              "xyz"[k], AXIS_COLOUR[k]);
    svg += "</defs>\n";
}

void bondLayer(std::string& svg, const RunReport& run, const Scene& scene, const View& view) {
    svg += "<g class=\"bonds\" stroke=\"#b0b0b0\" stroke-width=\"";
    piece(svg, "%.1f", std::max(1.5, 0.07 * view.scale));
    svg += "\" stroke-linecap=\"round\">\n";
    run.forEachBond([&](int i, int j) {
        auto p = scene.where.find(run.atom(i).label), q = scene.where.find(run.atom(j).label);
        if (p == scene.where.end() || q == scene.where.end()) return;
        piece(svg, "<line class=\"bond\" x1=\"%.1f\" y1=\"%.1f\" x2=\"%.1f\" y2=\"%.1f\"/>\n", view.sx(p->second),
              view.sy(p->second), view.sx(q->second), view.sy(q->second));
    });
    svg += "</g>\n";
}

void dummyLayer(std::string& svg, const Scene& scene, const View& view, double font) {
    const double s = view.scale;
    svg += "<g class=\"dummies\">\n";
    const double c = std::max(1.5, 0.12 * s);
    std::string label;
    for (std::size_t n = 0; n < scene.drawnDummies.size(); ++n) {
        const vec& p = scene.dummyPoints[n];
        const double x = view.sx(p), y = view.sy(p);
        escaped(label, scene.dummyLabels[scene.drawnDummies[n]]);
        piece(svg,
              "<g class=\"dummy\" data-label=\"%s\"><path d=\"M%.1f,%.1f L%.1f,%.1f M%.1f,%.1f L%.1f,%.1f\" "
              "stroke=\"#444\" stroke-width=\"1.5\"/><text x=\"%.1f\" y=\"%.1f\" font-size=\"%.1f\" "
              "fill=\"#444\"%s>%s</text></g>\n",
              label.c_str(), x - c, y - c, x + c, y + c, x - c, y + c, x + c, y - c, x + c + 2, y + c + font * 0.8,
              font * 0.85, s >= 14 ? "" : " display=\"none\"", label.c_str());
    }
    svg += "</g>\n";
}

// Scratch texts of the page, reused from atom to atom.
struct Scratch {
    std::string a, b;
};

// Atom k: a circle, found or missing, and its label where the bonds are not (opposite the
// mean direction of its bonds).
void atomShape(std::string& svg, const RunReport& run, std::size_t k, const Scene& scene, const View& view,
               double font, Scratch& scratch) {
    const int i = static_cast<int>(k);
    const double s = view.scale;
    const char* label = escaped(scratch.a, run.atom(i).label);
    const bool found = run.found(i);
    const double x = view.sx(scene.atomPoints[k]), y = view.sy(scene.atomPoints[k]);
    const bool hydrogen = std::strcmp(run.element(i), "H") == 0;
    const double r = std::max(3.0, (hydrogen ? 0.17 : 0.28) * s);
    double lx = 0, ly = 0;
    for (std::size_t n : scene.bonded[k]) {
        const double dx = view.sx(scene.atomPoints[n]) - x, dy = view.sy(scene.atomPoints[n]) - y;
        const double d = std::hypot(dx, dy);
        if (d > 1e-6) {
            lx -= dx / d;
            ly -= dy / d;
        }
    }
    const double ld = std::hypot(lx, ly);
    if (ld < 0.3) {
        lx = 0.7;
        ly = -0.7;
    } else {
        lx /= ld;
        ly /= ld;
    }
    const double labelX = x + lx * (r + 0.45 * font), labelY = y + ly * (r + 0.45 * font);
    // every atom names itself on hovering; written labels only where they stay readable:
    // hydrogens lose theirs in a crowded drawing, every atom in a very small one
    const bool labelled = s >= 14 && (!hydrogen || s >= 28);
    piece(svg,
          "<g class=\"atom %s\" data-label=\"%s\"><title>%s: %s (%s)</title>"
          "<circle cx=\"%.1f\" cy=\"%.1f\" r=\"%.1f\" fill=\"%s\" stroke=\"%s\" "
          "stroke-width=\"%s\"%s/>",
          found ? "found" : "missing", label, label, escaped(scratch.b, run.name(i)),
          found ? "found" : "not in the database", x, y, r, found ? FOUND_FILL : MISSING_FILL,
          found ? FOUND_STROKE : MISSING_STROKE, found ? "1" : "2.5", found ? "" : " stroke-dasharray=\"3 2\"");
    if (labelled)
        piece(svg,
              "<text x=\"%.1f\" y=\"%.1f\" font-size=\"%.1f\" font-weight=\"%s\" fill=\"%s\" "
              "stroke=\"#fff\" stroke-width=\"3\" paint-order=\"stroke\" text-anchor=\"%s\" "
              "dominant-baseline=\"middle\">%s</text>",
              labelX, labelY, font, found ? "normal" : "bold", found ? "#111" : "#7f0000",
              lx > 0.35 ? "start" : (lx < -0.35 ? "end" : "middle"), label);
    svg += "</g>\n";
}

constexpr double ARROW = 0.6;  // length of a frame arrow, angstrom

// Axis e of an atom at p: an arrow, or, along the line of sight, a circle with a dot when it
// points at the viewer and with a cross when it points away. A small drawing gets thin
// arrows and no axis letters.
void axisArrow(std::string& svg, int e, vec p, vec axis, const View& view, double font) {
    const double s = view.scale;
    const double stroke = std::max(0.6, std::min(1.6, 0.03 * s));
    const bool letters = s >= 28;
    const double x = view.sx(p), y = view.sy(p);
    const vec tip = p + ARROW * axis;
    const double tx = view.sx(tip), ty = view.sy(tip);
    if (std::hypot(tx - x, ty - y) < 0.35 * ARROW * s) {
        const double m = std::max(1.5, 0.09 * s), o = m * 0.6;
        const bool toward = dot(axis, view.depth) > 0;
        const double cx = tx, cy = ty;
        piece(svg,
              "<g class=\"axis-arrow axis-%c %s\" stroke=\"%s\" fill=\"none\" "
              "stroke-width=\"%.1f\"><circle cx=\"%.1f\" cy=\"%.1f\" r=\"%.1f\" fill=\"#fff\"/>",
              "xyz"[e], toward ? "toward-viewer" : "away-from-viewer", AXIS_COLOUR[e], stroke, cx, cy, m);
        if (toward)
            piece(svg, "<circle cx=\"%.1f\" cy=\"%.1f\" r=\"%.1f\" fill=\"%s\"/>", cx, cy, m * 0.3, AXIS_COLOUR[e]);
        else
            piece(svg, "<path d=\"M%.1f,%.1f L%.1f,%.1f M%.1f,%.1f L%.1f,%.1f\"/>", cx - o, cy - o, cx + o, cy + o,
                  cx - o, cy + o, cx + o, cy - o);
        if (letters)
            piece(svg,
                  "<text class=\"axis-label\" x=\"%.1f\" y=\"%.1f\" font-size=\"%.1f\" "
                  "fill=\"%s\" stroke=\"none\">%s</text>",
                  cx + m + 1, cy + m + font * 0.3, font * 0.75, AXIS_COLOUR[e], AXIS_NAME[e]);
        svg += "</g>";
        return;
    }
    const vec beyond = p + (ARROW * 1.3) * axis;
    piece(svg,
          "<line class=\"axis-arrow axis-%c\" x1=\"%.1f\" y1=\"%.1f\" x2=\"%.1f\" y2=\"%.1f\" "
          "stroke=\"%s\" stroke-width=\"%.1f\" marker-end=\"url(#arrow-%c)\"/>",
          "xyz"[e], x, y, tx, ty, AXIS_COLOUR[e], stroke, "xyz"[e]);
    if (letters)
        piece(svg,
              "<text class=\"axis-label\" x=\"%.1f\" y=\"%.1f\" font-size=\"%.1f\" "
              "fill=\"%s\" text-anchor=\"middle\" dominant-baseline=\"middle\">%s</text>",
              view.sx(beyond), view.sy(beyond), font * 0.75, AXIS_COLOUR[e], AXIS_NAME[e]);
}

// The three axes of a found atom's frame (nothing when its reference atoms span no frame).
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

void drawing(TextSink& out, const RunReport& run) {
    const Scene scene = collectScene(run);
    const View view = makeView(scene.atomPoints, scene.dummyPoints);
    const double font = std::max(9.0, std::min(14.0, 0.3 * view.scale));

    std::string& svg = out.text();
    svgStart(svg, view);
    bondLayer(svg, run, scene, view);
    dummyLayer(svg, scene, view, font);

    // atoms back to front, each with its frame arrows on top of the atoms behind it
    std::vector<std::size_t> order(scene.atomPoints.size());
    for (std::size_t k = 0; k < order.size(); ++k) order[k] = k;
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        return dot(scene.atomPoints[a] - view.centre, view.depth) < dot(scene.atomPoints[b] - view.centre, view.depth);
    });
    std::string axesLayer = "<g class=\"frames\">\n";
    Scratch scratch;
    svg += "<g class=\"atoms\">\n";
    for (std::size_t k : order) {
        atomShape(svg, run, k, scene, view, font, scratch);
        if (run.found(static_cast<int>(k)))
            frameArrows(axesLayer, run, static_cast<int>(k), scene.atomPoints[k], scene, view, font);
        out.spill();
    }
    // the arrows on top: an axis along a bond would otherwise hide under the atoms
    svg += "</g>\n";
    svg += axesLayer;
    svg += "</g>\n</svg>\n";
}

void legend(std::string& html) {
    html += "<div class=\"legend\">";
    piece(html,
          "<span><svg width=\"16\" height=\"16\"><circle cx=\"8\" cy=\"8\" r=\"6\" fill=\"%s\" stroke=\"%s\"/>"
          "</svg>found in the database</span>",
          FOUND_FILL, FOUND_STROKE);
    piece(html,
          "<span><svg width=\"16\" height=\"16\"><circle cx=\"8\" cy=\"8\" r=\"6\" fill=\"%s\" stroke=\"%s\" "
          "stroke-width=\"2\" stroke-dasharray=\"3 2\"/></svg>not in the database (input values kept)</span>",
          MISSING_FILL, MISSING_STROKE);
    for (int k = 0; k < 3; ++k)
        piece(html,
              "<span><svg width=\"28\" height=\"12\"><line x1=\"2\" y1=\"6\" x2=\"24\" y2=\"6\" stroke=\"%s\" "
              "stroke-width=\"2\"/><path d=\"M20,2 L27,6 L20,10 z\" fill=\"%s\"/></svg>local %s axis</span>",
              AXIS_COLOUR[k], AXIS_COLOUR[k], AXIS_NAME[k]);
    html += "<span><svg width=\"34\" height=\"16\"><circle cx=\"8\" cy=\"8\" r=\"6\" fill=\"#fff\" stroke=\"#444\"/>"
            "<circle cx=\"8\" cy=\"8\" r=\"2\" fill=\"#444\"/><circle cx=\"25\" cy=\"8\" r=\"6\" fill=\"#fff\" "
            "stroke=\"#444\"/><path d=\"M21,4 L29,12 M21,12 L29,4\" stroke=\"#444\"/></svg>axis towards / away from "
            "you</span>";
    html += "<span><svg width=\"16\" height=\"16\"><path d=\"M3,3 L13,13 M3,13 L13,3\" stroke=\"#444\" "
            "stroke-width=\"1.5\"/></svg>dummy atom</span>";
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
        piece(html, "<br><span class=\"note\">%s at %.4f %.4f %.4f</span>",
              escaped(scratch.a, run.referenceLabel(number, label)), f[0], f[1], f[2]);
    }
}

void atomRow(std::string& html, const RunReport& run, int i, Scratch& scratch) {
    const AtomRecord& a = run.atom(i);
    const bool found = run.found(i);
    piece(html, "<tr class=\"atom-row %s\" data-label=\"%s\">", found ? "found" : "missing",
          escaped(scratch.a, a.label));
    html += "<td>";
    appendEscaped(html, a.label);
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
    piece(html, "<td class=\"num\">%.4f</td><td class=\"num\">%.4f</td><td class=\"num\">%d</td>",
          run.monopoleBefore(i), run.monopoleWritten(i), a.molecule);
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

void writePage(const RunReport& run, TextSink& out) {
    std::string& html = out.text();
    const std::size_t atoms = static_cast<std::size_t>(run.atoms());
    const int missing = run.missing;
    std::string title;
    appendEscaped(title, run.q.title);
    const std::string heading = "QuandrelTool report" + (title.empty() ? "" : ": " + title);
    html += "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n<title>";
    html += heading;
    html += "</title>\n<style>";
    html += STYLE;
    html += "</style>\n</head>\n<body>\n<h1>";
    html += heading;
    html += "</h1>\n";
    piece(html, "<p class=\"summary\">%zu atoms, %zu found in the database, ", atoms,
          atoms - static_cast<std::size_t>(missing));
    if (missing > 0)
        piece(html, "<span class=\"bad\">%d not found</span>", missing);
    else
        html += "none missing";
    std::vector<char> used(static_cast<std::size_t>(std::max(run.q.nDummy, 0)), 0);
    std::size_t dummiesUsed = 0;
    for (int i = 0; i < run.atoms(); ++i)
        for (int number : {run.atom(i).atom0, run.atom(i).atom2}) {
            const int d = run.dummyOf(number);
            if (d >= 0 && !used[static_cast<std::size_t>(d)]) {
                used[static_cast<std::size_t>(d)] = 1;
                ++dummiesUsed;
            }
        }
    std::string path;
    piece(html, ". Database <code>%s</code> with %zu %s; ", escaped(path, run.q.opt.databasePath), run.entries,
          run.entries == 1 ? "entry" : "entries");
    if (dummiesUsed == 0)
        html += "no dummy atom in the frames";
    else
        piece(html, "%zu dummy %s in the frames", dummiesUsed, dummiesUsed == 1 ? "atom" : "atoms");
    html += ".</p>\n";
    if (missing > 0)
        html += "<p class=\"note\">Atoms not found keep the values of the input file. For each of them the table "
                "lists the nearest database entries: same central element, most shared first-shell neighbour "
                "terms, fewest term edits. Add an entry for the name, or override the name in "
                "<code>Quandrele.in</code>.</p>\n";

    html += "<h2>Structure</h2>\n";
    if (run.atoms() <= DRAWING_LIMIT) {
        legend(html);
        drawing(out, run);
        html += "<p class=\"note\">Projected along the smallest principal axis of the atom positions. Arrows: the "
                "local axes of every found atom, 0.6 &Aring; long. In a crowded drawing labels are left out; point "
                "at an atom to see its label and name.</p>\n";
    } else {
        piece(html,
              "<p class=\"note\">The drawing is left out: %d atoms are more than a drawing can show readably (at "
              "most %d are drawn). The table below lists every atom.</p>\n",
              run.atoms(), DRAWING_LIMIT);
    }

    html += "<h2>Atoms</h2>\n<table class=\"atoms\">\n<tr><th>Label</th><th>Quandrel name</th><th>Found</th>"
            "<th>Model compound / nearest entries</th><th>Site symmetry</th><th>Frame</th><th>Monopole before "
            "correction</th><th>Monopole written</th><th>Molecule</th></tr>\n";
    Scratch scratch;
    for (bool foundPass : {false, true})
        for (int i = 0; i < run.atoms(); ++i)
            if (run.found(i) == foundPass) {
                atomRow(html, run, i, scratch);
                out.spill();
            }
    html += "</table>\n";

    html += "<h2>Electroneutrality</h2>\n";
    moleculeTable(html, run);

    html += "<h2>Settings</h2>\n<table class=\"settings\">\n";
    const nlohmann::ordered_json settings = runSettings(run.q);
    for (const auto& item : settings.items()) {
        html += "<tr><th>";
        appendEscaped(html, item.key());
        html += "</th><td>";
        appendEscaped(html, item.value().is_string() ? item.value().get<std::string>() : item.value().dump());
        html += "</td></tr>\n";
    }
    html += "</table>\n</body>\n</html>\n";
}

std::string reportPage(const RunReport& run) {
    TextSink out;
    writePage(run, out);
    return out.take();
}
