// MoPro parameter files and tables written for the reader tests.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "input/input.h"
#include "testutil.h"

namespace mopro {

// A cubic cell of 10 angstrom: Cartesian coordinates are ten times the fractional ones.
const char* const CELL = "CELL 10.0 10.0 10.0 90.0 90.0 90.0\n";
const char* const KAPPA2 = "KAPPA 2\n  0.9882  0.9210\n  1.1600  1.1500\n";

// A table with the entries the tests use, hydrogen first.
const char* const TABLE =
    "! test table\n"
    "CHEM H\n ATOM 1 1.008\n VALE WAVE  1s1\n VALE EXPO 2.26\n"
    "CHEM C\n ATOM 6 12.011\n CORE WAVE  1s2\n VALE WAVE  2s2 2p2\n"
    "CHEM N\n ATOM 7 14.007\n CORE WAVE  1s2\n VALE WAVE  2s2 2p3\n"
    "CHEM O\n ATOM 8 15.999\n CORE WAVE  1s2\n VALE WAVE  2s2 2p4\n"
    "END\n";

// One atom record of an ATOMS section.
struct AtomSpec {
    int number = 1;
    std::string label = "C1";
    std::string scat = "C";
    std::string group = "GLY";
    int groupNo = 1;
    double frac[3] = {0.1, 0.2, 0.3};
    std::string axisType = "XY";
    std::string axis1 = "1";
    std::string axis2 = "1";
    std::string level = "HEX";
    int kap = 1;
    std::string displacement = "UANI   0.011 0.012 0.013 0.001 0.002 0.003";
};

inline AtomSpec atomSpec(int number, const std::string& label, const std::string& scat) {
    AtomSpec a;
    a.number = number;
    a.label = label;
    a.scat = scat;
    return a;
}

// Values per multipole line of a level: the population m (0-based) is (m + 1) / 100.
inline std::vector<int> multipoleLines(const std::string& level) {
    if (level == "MON") return {2};
    if (level == "DIP") return {5};
    if (level == "QUA") return {10};
    if (level == "OCT") return {10, 7};
    if (level == "HEX") return {10, 7, 9};
    return {};
}

inline std::string record(const AtomSpec& a) {
    char buf[512];
    std::string text;
    std::snprintf(buf, sizeof buf, "ATOM %5d %-6s %-5s %3d %10.6f %10.6f %10.6f  1.0000   6 %s\n", a.number,
                  a.label.c_str(), a.group.c_str(), a.groupNo, a.frac[0], a.frac[1], a.frac[2], a.scat.c_str());
    text += buf;
    std::snprintf(buf, sizeof buf, "  %-4s %-8s %-8s %s  K%d  V1  M1  Q0\n", a.axisType.c_str(), a.axis1.c_str(),
                  a.axis2.c_str(), a.level.c_str(), a.kap);
    text += buf;
    text += a.displacement + "\n";
    int m = 0;
    for (int count : multipoleLines(a.level)) {
        for (int v = 0; v < count; ++v, ++m) {
            std::snprintf(buf, sizeof buf, " %8.4f", (m + 1) / 100.0);
            text += buf;
        }
        text += "\n";
    }
    return text;
}

inline std::string atomsSection(const std::vector<AtomSpec>& atoms) {
    std::string text = "ATOMS " + std::to_string(atoms.size()) + "\n";
    for (const AtomSpec& a : atoms) text += record(a);
    return text;
}

// A parameter file: cell, two kappa sets, the given atoms, STOP.
inline std::string paramFile(const std::vector<AtomSpec>& atoms, const std::string& before = "",
                             const std::string& after = "") {
    return "! MoPro parameter file of a test\n" + std::string(CELL) + KAPPA2 + before + atomsSection(atoms) + after +
           "STOP\n";
}

// Two atoms of different kind.
inline std::vector<AtomSpec> twoAtoms() {
    AtomSpec c = atomSpec(1, "C1", "C");
    AtomSpec o = atomSpec(2, "O1", "O");
    o.frac[0] = 0.25;
    o.axis1 = "1";
    o.axis2 = "C1";
    return {c, o};
}

// The result of reading a parameter file in the current (scratch) directory.
struct Reading {
    std::unique_ptr<Quandrel> q;
    std::string out;  // what the reader printed on standard output
};

// Writes "test.01" and "mopro.tab" into the scratch directory and reads them.
inline Reading readMoPro(const ScratchDir& dir, const std::string& param, const std::string& table = TABLE) {
    dir.write("test.01", param);
    dir.write("mopro.tab", table);
    Reading r;
    r.q.reset(new Quandrel(Quandrel::NoInput{}));
    std::snprintf(r.q->opt.inputFile, sizeof r.q->opt.inputFile, "test.01");
    r.out = captureStdout([&] { readMoProFiles(r.q->structure, r.q->opt); });
    return r;
}

// Reads a file that is expected to stop the run, with the atom listing on standard output
// dropped (also when the reader stops).
inline void readOnly(const ScratchDir& dir, const std::string& param, const std::string& table = TABLE) {
    struct DropStdout {
        DropStdout() { testing::internal::CaptureStdout(); }
        ~DropStdout() { testing::internal::GetCapturedStdout(); }
    } dropped;
    dir.write("test.01", param);
    dir.write("mopro.tab", table);
    std::unique_ptr<Quandrel> q(new Quandrel(Quandrel::NoInput{}));
    std::snprintf(q->opt.inputFile, sizeof q->opt.inputFile, "test.01");
    readMoProFiles(q->structure, q->opt);
}

// Settings that select MoPro input with the given parameter file name (may be empty).
inline std::string moproSettings(const std::string& inputFile, const std::string& tabPath = "") {
    return "DABA_PATH=DABA.txt\nIons=1\nInputtype[XD|MOPRO]=MOPRO\nInputfile(empty for XD)=" + inputFile +
           "\nPath_to_mopro.tab=" + tabPath + "\n";
}

// The stage the error banner names when the MoPro reader stops.
const char* const MOPRO_STAGE = "readMoProParam";

}  // namespace mopro
