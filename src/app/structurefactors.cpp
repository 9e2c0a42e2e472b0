#include "structurefactors.h"

#include <cstdio>
#include <algorithm>
#include <cstring>
#include <utility>

#include <gemmi/fprime.hpp>

#include "../atoms/atoms.h"
#include "../core/failure.h"
#include "../core/stage.h"
#include "../core/text.h"
#include "../input/input.h"
#include "../scattering/engine.h"
#include "../scattering/from_quandrel.h"
#include "../scattering/radial.h"
#include "../scattering/statistics.h"
#include "../scattering/textfile.h"
#include "../scattering/writers.h"
#include "options.h"

namespace {

constexpr double HC_EV_A = 12398.419843;  // h c in eV A: photon energy of a wavelength
constexpr double TABLE_STEP = 0.005;      // spherical tables in steps of sin(theta)/lambda (1/A)

// The master file the structure came with: xd.mas for XD and MoPro input, the template built
// from a CIF or SHELX file otherwise.
std::string masterText(const Structure& s, const Options& o) {
    if ((o.crystalInput == 0 || s.masTemplate.empty()) && openFile("xd.mas", "rb") != nullptr)
        return readTextFile("xd.mas");
    std::string text;
    for (const std::string& line : s.masTemplate) text += line + "\n";
    return text;
}

// The spherical atom of a scattering-table row, tabulated for the engine.
scattering::SphericalTable sphericalTable(atoms::AtomCache& cache, const ScatEntry& e) {
    atoms::ShellSplit split;
    std::memcpy(split.occupations, e.occupations, sizeof split.occupations);
    const atoms::FormFactors& f = cache.get(e.element + 1, split);
    scattering::SphericalTable t;
    t.step = TABLE_STEP;
    const int points = static_cast<int>(f.maxStol() / TABLE_STEP) + 1;
    for (int i = 0; i < points; ++i) {
        const double stol = i * TABLE_STEP;
        if (f.coreElectrons() > 0) t.core.push_back(f.core(stol));
        t.valence.push_back(f.valenceElectrons() > 0 ? f.valence(stol) : 0.0);
    }
    return t;
}

void printStatistics(const char* what, const scattering::FitStatistics& f) {
    printf("%s: scale %.5f  R1(F) %.4f (%d with F^2 > 2 sigma), %.4f (all %d)  wR2(F^2) %.4f (unit weights), "
           "%.4f (1/sigma^2)\n",
           what, f.scale, f.r1Observed, f.observed, f.r1All, f.count, f.wr2Unit, f.wr2Sigma);
}

}  // namespace

std::vector<scattering::Reflection> readReflections(const std::string& path) {
    const std::string text = readTextFile(path);
    const std::string first = text.substr(0, text.find('\n'));
    if (first.find("NDAT") != std::string::npos) return scattering::parseXdHkl(text, path);
    return scattering::parseShelxHkl(text, path);
}

scattering::Model modelOfStructure(const Structure& s, const Options& o, const std::string& master,
                                   const std::string& masterName, WarningLog* warnings) {
    scattering::QuandrelInputs inputs;
    inputs.master = scattering::parseMasterExtras(master, masterName);
    if (!o.radialFile.empty()) inputs.radial = scattering::readRadialFile(o.radialFile);
    scattering::QuandrelModel built = scattering::modelFromQuandrel(s, inputs);
    if (warnings != nullptr) warnings->adopt(built.warnings);
    scattering::Model m = std::move(built.model);
    atoms::AtomCache cache(atomSettings(o));
    const double energy = HC_EV_A / m.wavelength;
    for (int t = 0; t < s.nScat && t < static_cast<int>(m.types.size()); ++t) {
        scattering::ScatteringType& type = m.types[static_cast<std::size_t>(t)];
        type.table = sphericalTable(cache, s.scatTable[t]);
        if (type.fp == 0 && type.fpp == 0 && type.z > 2) type.fp = gemmi::cromer_liberman(type.z, energy, &type.fpp);
    }
    scattering::validate(m);
    return m;
}

int runFcalc(const Structure& s, const Options& o) {
    Stage stage("fcalc");
    const std::vector<scattering::Reflection> data = readReflections(o.fcalcFile);
    const scattering::Model model = modelOfStructure(s, o, masterText(s, o), o.crystalInput == 0 ? "xd.mas" : s.source);
    std::vector<std::string> files = {s.source.empty() ? std::string("xd.res") : s.source, o.fcalcFile};
    if (!o.radialFile.empty()) files.push_back(o.radialFile);
    const scattering::FcoContent content = scattering::fcoContent(model, data, files, true);
    scattering::writeFco("Quandrele.fco", content);
    printf("Structure factors of %zu reflections written to Quandrele.fco\n", data.size());
    printStatistics("model", scattering::fitStatistics(data, content.f2Model));
    printStatistics("spherical atoms", scattering::fitStatistics(data, content.f2Spherical));
    fflush(stdout);
    return 0;
}

scattering::FitToData runHkl(const Structure& run, const Options& o, WarningLog& warnings) {
    Stage stage("hkl");
    const std::vector<scattering::Reflection> data = readReflections(o.hklFile);
    Structure written;
    std::memcpy(written.title, run.title, sizeof written.title);
    std::memcpy(written.cell, run.cell, sizeof written.cell);
    written.symmetry = run.symmetry;
    std::copy(run.scatTable, run.scatTable + MAX_SCAT, written.scatTable);
    written.nScat = run.nScat;
    readWrittenParameterFile(written, "xd.res.quandreltool");
    const scattering::Model model =
        modelOfStructure(written, o, readTextFile("xd.mas.quandreltool"), "xd.mas.quandreltool", &warnings);

    std::vector<std::string> files = {"xd.res.quandreltool", "xd.mas.quandreltool", o.hklFile};
    if (!o.radialFile.empty()) files.push_back(o.radialFile);
    const scattering::FcoContent content = scattering::fcoContent(model, data, files, true);
    scattering::writeFco("Quandrele.fco", content);
    std::vector<scattering::Miller> hkl;
    hkl.reserve(data.size());
    for (const scattering::Reflection& r : data) hkl.push_back(r.hkl);
    scattering::writeTsc("Quandrele.tsc", written.title, model, hkl);
    printf("Structure factors of the transferred model for %zu reflections written to Quandrele.fco and "
           "Quandrele.tsc\n",
           data.size());
    std::vector<double> stol;
    stol.reserve(data.size());
    for (const scattering::Reflection& r : data) stol.push_back(scattering::sinThetaOverLambda(model.cell, r.hkl));
    scattering::FitToData fit =
        scattering::fitToData(o.hklFile, data, std::move(stol), content.f2Model, content.f2Spherical);
    printStatistics("transferred model", fit.model.overall);
    printStatistics("spherical atoms", fit.spherical.overall);
    fflush(stdout);
    return fit;
}
