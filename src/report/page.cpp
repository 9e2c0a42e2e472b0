// "Quandrele.html": one self-contained page (inline style and SVG, no script, nothing
// fetched) with a drawing of the structure and a table of the atoms.
#include <gemmi/eig3.hpp>

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "../driver/text.h"
#include "../geometry/vec.h"
#include "report.h"

using json = nlohmann::ordered_json;

namespace {

vec point(const json& triple) { return {triple[0].get<double>(), triple[1].get<double>(), triple[2].get<double>()}; }

// A printf-formatted piece of the page. A piece was always cut at 511 characters (a
// long quandrel or file name can reach that); the cut is kept so pages stay as they were.
std::string piece(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
std::string piece(const char* fmt, ...) {
    va_list args;
    va_start(args, fmt);
    std::string text = vformat(fmt, args);
    va_end(args);
    return text.size() > 511 ? text.substr(0, 511) : text;
}

std::string escape(const std::string& text) {
    std::string out;
    for (char c : text) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        default: out += c;
        }
    }
    return out;
}

std::string text(const json& value) { return value.is_string() ? value.get<std::string>() : std::string(); }

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

int axisNumber(const std::string& letter) {
    if (letter == "X") return 1;
    if (letter == "Y") return 2;
    if (letter == "Z") return 3;
    return 0;
}

// What the drawing shows: the atoms' positions and bonded neighbours, and the dummies that
// some frame uses; where finds an atom or any dummy by its label.
struct Scene {
    std::map<std::string, vec> where;
    std::vector<vec> atomPoints, dummyPoints;
    std::vector<std::pair<std::string, vec>> dummies;
    std::vector<std::vector<std::size_t>> bonded;
};

Scene collectScene(const json& run) {
    const json& atoms = run["atoms"];
    Scene scene;
    std::map<std::string, std::size_t> indexOf;
    for (const json& a : atoms) {
        const vec p = point(a["cartesian"]);
        indexOf.emplace(text(a["label"]), scene.atomPoints.size());
        scene.atomPoints.push_back(p);
        scene.where.emplace(text(a["label"]), p);
    }
    scene.bonded.resize(atoms.size());
    for (const json& b : run["bonds"]) {
        auto p = indexOf.find(text(b[0])), q = indexOf.find(text(b[1]));
        if (p == indexOf.end() || q == indexOf.end()) continue;
        scene.bonded[p->second].push_back(q->second);
        scene.bonded[q->second].push_back(p->second);
    }
    // dummies that some frame uses
    std::map<std::string, bool> usedDummy;
    for (const json& a : atoms)
        for (const json& d : a["frame"]["dummies"]) usedDummy[text(d["label"])] = true;
    for (const json& d : run["dummies"]) {
        const std::string label = text(d["label"]);
        const vec p = point(d["cartesian"]);
        scene.where.emplace(label, p);
        if (usedDummy.count(label)) {
            scene.dummies.emplace_back(label, p);
            scene.dummyPoints.push_back(p);
        }
    }
    return scene;
}

std::string svgStart(const View& view) {
    std::string svg = piece("<svg class=\"drawing\" xmlns=\"http://www.w3.org/2000/svg\" viewBox=\"0 0 %.0f %.0f\" "
                             "width=\"%.0f\" height=\"%.0f\" role=\"img\" aria-label=\"Structure drawing\">\n",
                             view.width, view.height, view.width, view.height);
    svg += "<defs>\n";
    for (int k = 0; k < 3; ++k)
        svg += piece("<marker id=\"arrow-%c\" viewBox=\"0 0 10 10\" refX=\"9\" refY=\"5\" markerWidth=\"5\" "
                      "markerHeight=\"5\" orient=\"auto-start-reverse\"><path d=\"M0,0 L10,5 L0,10 z\" "
                      "fill=\"%s\"/></marker>\n",
                      "xyz"[k], AXIS_COLOUR[k]);
    svg += "</defs>\n";
    return svg;
}

std::string bondLayer(const json& run, const Scene& scene, const View& view) {
    std::string svg = "<g class=\"bonds\" stroke=\"#b0b0b0\" stroke-width=\"" +
                      piece("%.1f", std::max(1.5, 0.07 * view.scale)) + "\" stroke-linecap=\"round\">\n";
    for (const json& b : run["bonds"]) {
        auto p = scene.where.find(text(b[0])), q = scene.where.find(text(b[1]));
        if (p == scene.where.end() || q == scene.where.end()) continue;
        svg += piece("<line class=\"bond\" x1=\"%.1f\" y1=\"%.1f\" x2=\"%.1f\" y2=\"%.1f\"/>\n", view.sx(p->second),
                      view.sy(p->second), view.sx(q->second), view.sy(q->second));
    }
    return svg + "</g>\n";
}

std::string dummyLayer(const Scene& scene, const View& view, double font) {
    const double s = view.scale;
    std::string svg = "<g class=\"dummies\">\n";
    const double c = std::max(1.5, 0.12 * s);
    for (const auto& d : scene.dummies) {
        const double x = view.sx(d.second), y = view.sy(d.second);
        svg += piece("<g class=\"dummy\" data-label=\"%s\"><path d=\"M%.1f,%.1f L%.1f,%.1f M%.1f,%.1f L%.1f,%.1f\" "
                      "stroke=\"#444\" stroke-width=\"1.5\"/><text x=\"%.1f\" y=\"%.1f\" font-size=\"%.1f\" "
                      "fill=\"#444\"%s>%s</text></g>\n",
                      escape(d.first).c_str(), x - c, y - c, x + c, y + c, x - c, y + c, x + c, y - c, x + c + 2,
                      y + c + font * 0.8, font * 0.85, s >= 14 ? "" : " display=\"none\"", escape(d.first).c_str());
    }
    return svg + "</g>\n";
}

// Atom k: a circle, found or missing, and its label where the bonds are not (opposite the
// mean direction of its bonds).
std::string atomShape(const json& a, std::size_t k, const Scene& scene, const View& view, double font) {
    const double s = view.scale;
    const std::string label = escape(text(a["label"]));
    const bool found = a["found"].get<bool>();
    const double x = view.sx(scene.atomPoints[k]), y = view.sy(scene.atomPoints[k]);
    const bool hydrogen = text(a["element"]) == "H";
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
    std::string svg = piece("<g class=\"atom %s\" data-label=\"%s\"><title>%s: %s (%s)</title>"
                             "<circle cx=\"%.1f\" cy=\"%.1f\" r=\"%.1f\" fill=\"%s\" stroke=\"%s\" "
                             "stroke-width=\"%s\"%s/>",
                             found ? "found" : "missing", label.c_str(), label.c_str(), escape(text(a["name"])).c_str(),
                             found ? "found" : "not in the database", x, y, r, found ? FOUND_FILL : MISSING_FILL,
                             found ? FOUND_STROKE : MISSING_STROKE, found ? "1" : "2.5",
                             found ? "" : " stroke-dasharray=\"3 2\"");
    if (labelled)
        svg += piece("<text x=\"%.1f\" y=\"%.1f\" font-size=\"%.1f\" font-weight=\"%s\" fill=\"%s\" "
                      "stroke=\"#fff\" stroke-width=\"3\" paint-order=\"stroke\" text-anchor=\"%s\" "
                      "dominant-baseline=\"middle\">%s</text>",
                      labelX, labelY, font, found ? "normal" : "bold", found ? "#111" : "#7f0000",
                      lx > 0.35 ? "start" : (lx < -0.35 ? "end" : "middle"), label.c_str());
    return svg + "</g>\n";
}

constexpr double ARROW = 0.6;  // length of a frame arrow, angstrom

// Axis e of an atom at p: an arrow, or, along the line of sight, a circle with a dot when it
// points at the viewer and with a cross when it points away. A small drawing gets thin
// arrows and no axis letters.
std::string axisArrow(int e, vec p, vec axis, const View& view, double font) {
    const double s = view.scale;
    const double stroke = std::max(0.6, std::min(1.6, 0.03 * s));
    const bool letters = s >= 28;
    const double x = view.sx(p), y = view.sy(p);
    const vec tip = p + ARROW * axis;
    const double tx = view.sx(tip), ty = view.sy(tip);
    std::string svg;
    if (std::hypot(tx - x, ty - y) < 0.35 * ARROW * s) {
        const double m = std::max(1.5, 0.09 * s), o = m * 0.6;
        const bool toward = dot(axis, view.depth) > 0;
        const double cx = tx, cy = ty;
        svg += piece("<g class=\"axis-arrow axis-%c %s\" stroke=\"%s\" fill=\"none\" "
                      "stroke-width=\"%.1f\"><circle cx=\"%.1f\" cy=\"%.1f\" r=\"%.1f\" fill=\"#fff\"/>",
                      "xyz"[e], toward ? "toward-viewer" : "away-from-viewer", AXIS_COLOUR[e], stroke, cx, cy, m);
        if (toward)
            svg += piece("<circle cx=\"%.1f\" cy=\"%.1f\" r=\"%.1f\" fill=\"%s\"/>", cx, cy, m * 0.3, AXIS_COLOUR[e]);
        else
            svg += piece("<path d=\"M%.1f,%.1f L%.1f,%.1f M%.1f,%.1f L%.1f,%.1f\"/>", cx - o, cy - o, cx + o, cy + o,
                          cx - o, cy + o, cx + o, cy - o);
        if (letters)
            svg += piece("<text class=\"axis-label\" x=\"%.1f\" y=\"%.1f\" font-size=\"%.1f\" "
                          "fill=\"%s\" stroke=\"none\">%s</text>",
                          cx + m + 1, cy + m + font * 0.3, font * 0.75, AXIS_COLOUR[e], AXIS_NAME[e]);
        return svg + "</g>";
    }
    const vec beyond = p + (ARROW * 1.3) * axis;
    svg += piece("<line class=\"axis-arrow axis-%c\" x1=\"%.1f\" y1=\"%.1f\" x2=\"%.1f\" y2=\"%.1f\" "
                  "stroke=\"%s\" stroke-width=\"%.1f\" marker-end=\"url(#arrow-%c)\"/>",
                  "xyz"[e], x, y, tx, ty, AXIS_COLOUR[e], stroke, "xyz"[e]);
    if (letters)
        svg += piece("<text class=\"axis-label\" x=\"%.1f\" y=\"%.1f\" font-size=\"%.1f\" "
                      "fill=\"%s\" text-anchor=\"middle\" dominant-baseline=\"middle\">%s</text>",
                      view.sx(beyond), view.sy(beyond), font * 0.75, AXIS_COLOUR[e], AXIS_NAME[e]);
    return svg;
}

// The three axes of a found atom's frame ("" when its reference atoms span no frame).
std::string frameArrows(const json& a, vec p, const Scene& scene, const View& view, double font) {
    const json& f = a["frame"];
    auto p0 = scene.where.find(text(f["atom0"])), p2 = scene.where.find(text(f["atom2"]));
    vec axes[3];
    if (p0 == scene.where.end() || p2 == scene.where.end() ||
        !localAxes(p, p0->second, p2->second, axisNumber(text(f["axis1"])), axisNumber(text(f["axis2"])), axes))
        return "";
    std::string svg = "<g class=\"axes\" data-atom=\"" + escape(text(a["label"])) + "\">";
    for (int e = 0; e < 3; ++e) svg += axisArrow(e, p, axes[e], view, font);
    return svg + "</g>\n";
}

std::string drawing(const json& run) {
    const json& atoms = run["atoms"];
    const Scene scene = collectScene(run);
    const View view = makeView(scene.atomPoints, scene.dummyPoints);
    const double font = std::max(9.0, std::min(14.0, 0.3 * view.scale));

    std::string svg = svgStart(view) + bondLayer(run, scene, view) + dummyLayer(scene, view, font);

    // atoms back to front, each with its frame arrows on top of the atoms behind it
    std::vector<std::size_t> order(atoms.size());
    for (std::size_t k = 0; k < order.size(); ++k) order[k] = k;
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        return dot(scene.atomPoints[a] - view.centre, view.depth) < dot(scene.atomPoints[b] - view.centre, view.depth);
    });
    std::string axesLayer = "<g class=\"frames\">\n", atomLayer = "<g class=\"atoms\">\n";
    for (std::size_t k : order) {
        atomLayer += atomShape(atoms[k], k, scene, view, font);
        if (atoms[k]["found"].get<bool>()) axesLayer += frameArrows(atoms[k], scene.atomPoints[k], scene, view, font);
    }
    // the arrows on top: an axis along a bond would otherwise hide under the atoms
    svg += atomLayer + "</g>\n" + axesLayer + "</g>\n</svg>\n";
    return svg;
}

std::string legend() {
    std::string html = "<div class=\"legend\">";
    html += piece("<span><svg width=\"16\" height=\"16\"><circle cx=\"8\" cy=\"8\" r=\"6\" fill=\"%s\" stroke=\"%s\"/>"
                   "</svg>found in the database</span>",
                   FOUND_FILL, FOUND_STROKE);
    html += piece("<span><svg width=\"16\" height=\"16\"><circle cx=\"8\" cy=\"8\" r=\"6\" fill=\"%s\" stroke=\"%s\" "
                   "stroke-width=\"2\" stroke-dasharray=\"3 2\"/></svg>not in the database (input values kept)</span>",
                   MISSING_FILL, MISSING_STROKE);
    for (int k = 0; k < 3; ++k)
        html += piece("<span><svg width=\"28\" height=\"12\"><line x1=\"2\" y1=\"6\" x2=\"24\" y2=\"6\" stroke=\"%s\" "
                       "stroke-width=\"2\"/><path d=\"M20,2 L27,6 L20,10 z\" fill=\"%s\"/></svg>local %s axis</span>",
                       AXIS_COLOUR[k], AXIS_COLOUR[k], AXIS_NAME[k]);
    html += "<span><svg width=\"34\" height=\"16\"><circle cx=\"8\" cy=\"8\" r=\"6\" fill=\"#fff\" stroke=\"#444\"/>"
            "<circle cx=\"8\" cy=\"8\" r=\"2\" fill=\"#444\"/><circle cx=\"25\" cy=\"8\" r=\"6\" fill=\"#fff\" "
            "stroke=\"#444\"/><path d=\"M21,4 L29,12 M21,12 L29,4\" stroke=\"#444\"/></svg>axis towards / away from "
            "you</span>";
    html += "<span><svg width=\"16\" height=\"16\"><path d=\"M3,3 L13,13 M3,13 L13,3\" stroke=\"#444\" "
            "stroke-width=\"1.5\"/></svg>dummy atom</span>";
    html += "</div>\n";
    return html;
}

std::string frameText(const json& frame) {
    std::string t = escape(text(frame["axis1"])) + "&rarr;" + escape(text(frame["atom0"])) + ", " +
                    escape(text(frame["axis2"])) + "&rarr;" + escape(text(frame["atom2"]));
    for (const json& d : frame["dummies"]) {
        const json& f = d["fractional"];
        t += piece("<br><span class=\"note\">%s at %.4f %.4f %.4f</span>", escape(text(d["label"])).c_str(),
                    f[0].get<double>(), f[1].get<double>(), f[2].get<double>());
    }
    return t;
}

std::string atomRow(const json& a) {
    const bool found = a["found"].get<bool>();
    std::string row = piece("<tr class=\"atom-row %s\" data-label=\"%s\">", found ? "found" : "missing",
                             escape(text(a["label"])).c_str());
    row += "<td>" + escape(text(a["label"])) + "</td>";
    row += "<td class=\"name\">" + escape(text(a["name"])) + "</td>";
    row += std::string("<td class=\"found\">") + (found ? "yes" : "MISSING") + "</td>";
    if (found) {
        row += "<td>" + escape(text(a["modelCompound"])) + "</td>";
    } else {
        row += "<td>";
        if (a["nearest"].empty()) {
            row += "<span class=\"note\">no database entry of this element</span>";
        } else {
            row += "<span class=\"note\">nearest entries:</span><ol class=\"nearest\">";
            for (const json& e : a["nearest"])
                row += piece("<li><code>%s</code> &mdash; %s <span class=\"note\">(%d shared neighbour terms, "
                              "%d term edits)</span></li>",
                              escape(text(e["name"])).c_str(), escape(text(e["modelCompound"])).c_str(),
                              e["sharedFirstShellTerms"].get<int>(), e["termEdits"].get<int>());
            row += "</ol>";
        }
        row += "</td>";
    }
    row += "<td>" + escape(text(a["siteSymmetry"])) + "</td>";
    row += "<td>" + frameText(a["frame"]) + "</td>";
    row += piece("<td class=\"num\">%.4f</td><td class=\"num\">%.4f</td><td class=\"num\">%d</td>",
                  a["monopoleBeforeCorrection"].get<double>(), a["monopoleWritten"].get<double>(),
                  a["molecule"].get<int>());
    row += "</tr>\n";
    return row;
}

std::string moleculeTable(const json& run) {
    std::string html = "<table class=\"molecules\"><tr><th>Molecule</th><th>Atoms</th><th>Valence electrons "
                       "expected</th><th>Sum of found monopoles</th><th>Correction</th></tr>\n";
    for (const json& m : run["molecules"]) {
        const json& c = m["correction"];
        std::string what = "none";
        if (c["applied"].get<bool>()) {
            what = escape(text(c["kind"]));
            for (const char* key : {"factor", "addedPerAtom", "addedPerHydrogen", "difference"})
                if (c.contains(key)) what += piece(": %s %.6f", key, c[key].get<double>());
        }
        html += piece("<tr><td class=\"num\">%d</td><td class=\"num\">%d</td><td class=\"num\">%.4f</td>"
                       "<td class=\"num\">%.4f</td><td>%s</td></tr>\n",
                       m["number"].get<int>(), m["atoms"].get<int>(), m["electronsExpected"].get<double>(),
                       m["monopoleSum"].get<double>(), what.c_str());
    }
    return html + "</table>\n";
}

}  // namespace

std::string reportPage(const json& run) {
    const json& atoms = run["atoms"];
    const int missing = run["missing"].get<int>();
    const std::string title = escape(text(run["title"]));
    std::string html = "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n<title>QuandrelTool "
                       "report" + (title.empty() ? "" : ": " + title) + "</title>\n<style>" + STYLE +
                       "</style>\n</head>\n<body>\n";
    html += "<h1>QuandrelTool report" + (title.empty() ? "" : ": " + title) + "</h1>\n";
    html += piece("<p class=\"summary\">%zu atoms, %zu found in the database, ", atoms.size(),
                   atoms.size() - static_cast<std::size_t>(missing));
    html += missing > 0 ? piece("<span class=\"bad\">%d not found</span>", missing) : std::string("none missing");
    std::map<std::string, bool> dummiesUsed;
    for (const json& a : atoms)
        for (const json& d : a["frame"]["dummies"]) dummiesUsed[text(d["label"])] = true;
    const std::size_t entries = run["database"]["entries"].get<std::size_t>();
    html += piece(". Database <code>%s</code> with %zu %s; ", escape(text(run["database"]["path"])).c_str(), entries,
                   entries == 1 ? "entry" : "entries");
    html += dummiesUsed.empty() ? std::string("no dummy atom in the frames")
                                : piece("%zu dummy %s in the frames", dummiesUsed.size(),
                                         dummiesUsed.size() == 1 ? "atom" : "atoms");
    html += ".</p>\n";
    if (missing > 0)
        html += "<p class=\"note\">Atoms not found keep the values of the input file. For each of them the table "
                "lists the nearest database entries: same central element, most shared first-shell neighbour "
                "terms, fewest term edits. Add an entry for the name, or override the name in "
                "<code>Quandrele.in</code>.</p>\n";

    html += "<h2>Structure</h2>\n" + legend() + drawing(run);
    html += "<p class=\"note\">Projected along the smallest principal axis of the atom positions. Arrows: the local "
            "axes of every found atom, 0.6 &Aring; long. In a crowded drawing labels are left out; point at an atom "
            "to see its label and name.</p>\n";

    html += "<h2>Atoms</h2>\n<table class=\"atoms\">\n<tr><th>Label</th><th>Quandrel name</th><th>Found</th>"
            "<th>Model compound / nearest entries</th><th>Site symmetry</th><th>Frame</th><th>Monopole before "
            "correction</th><th>Monopole written</th><th>Molecule</th></tr>\n";
    for (bool foundPass : {false, true})
        for (const json& a : atoms)
            if (a["found"].get<bool>() == foundPass) html += atomRow(a);
    html += "</table>\n";

    html += "<h2>Electroneutrality</h2>\n" + moleculeTable(run);

    html += "<h2>Settings</h2>\n<table class=\"settings\">\n";
    for (const auto& item : run["settings"].items())
        html += "<tr><th>" + escape(item.key()) + "</th><td>" +
                escape(item.value().is_string() ? item.value().get<std::string>() : item.value().dump()) +
                "</td></tr>\n";
    html += "</table>\n</body>\n</html>\n";
    return html;
}
