// Helpers of the run-report tests: a fixture run against a database that holds every
// other name of the structure, and the page as a real browser builds it.
#pragma once

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "testutil.h"

// "label: name" pairs of Quandrele.out.
std::vector<std::pair<std::string, std::string>> listedNames(const std::string& out);

// Copies the fixture (tests/data/fixtures/<name>) into the directory, runs the program once
// against an empty database to learn the names, writes DABA.txt with an entry for every
// other distinct name (frames towards neighbours, a dummy where an atom has one neighbour),
// and runs it again. Returns the second run.
RunResult runAgainstHalfDatabase(const ScratchDir& dir, const std::string& fixture);

// The DOM that headless Chromium builds from a page on disk. Throws with a clear message when
// chromium is not installed.
std::string browserDom(const std::string& pagePath);

// The page opened in the browser with a probe around it: the DOM after its script ran, the
// labels of the shown (best) view and how many pairs of their bounding boxes overlap, how many
// frames show after pointing at a found atom, and the errors the page's script raised or
// wrote to the console.
struct PageProbe {
    std::string dom;
    int labels = 0;
    int overlaps = 0;
    int errors = 0;
    int hoveredAxes = -1;  // frames shown after pointing at the first found atom (-1: none found)
    std::string errorText;
};
PageProbe probePage(const std::string& pagePath);

// The drawing of one view ("best", "a", "b", "c") in a DOM: its <svg> element.
std::string drawnView(const std::string& dom, const std::string& view);

// The element of a DOM that starts with `head` (a "<g ..." tag up to its first "</g>").
std::string groupOf(const std::string& svg, const std::string& head);

// One measured reflection of a reflection file written by a test.
struct HklRow {
    int h = 0, k = 0, l = 0;
    double f2 = 0, sigma = 0;
};

// Every index h, k from 0 to n and l from 1 to n, F^2 = 100 + h + k + l, sigma 2.
std::vector<HklRow> indexBlock(int n);

// The text of an XD reflection file ("F^2 NDAT 6" header, free-format rows h k l batch F^2 sigma).
std::string xdReflectionFile(const std::vector<HklRow>& rows);
