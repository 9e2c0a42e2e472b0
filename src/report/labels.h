// Pieces of the drawing the tests reach: element colours and the placement of labels.
#pragma once

#include <vector>

// The fill of an element's atoms (a CPK-like scheme); one shared colour for the rest.
const char* elementColour(const char* symbol);

// A label that wants a place beside its atom: the atom's centre and radius, the direction
// it prefers (away from the bonds), the label's box and its priority (lower goes first).
struct LabelRequest {
    double x = 0, y = 0, radius = 0;
    double dx = 0, dy = 0;
    double width = 0, height = 0;
    int priority = 0;
};

// Where a label went: its centre and box, or not placed at all.
struct LabelPlacement {
    bool placed = false;
    double x = 0, y = 0;
    double x0 = 0, y0 = 0, x1 = 0, y1 = 0;
};

// Places the labels in priority order, each in the first of eight directions around its atom
// where its box stays inside the drawing and overlaps no label placed before.
std::vector<LabelPlacement> placeLabels(const std::vector<LabelRequest>& wanted, double width, double height);
