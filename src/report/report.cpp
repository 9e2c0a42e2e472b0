// The run as data: what "Quandrele.json" holds and the page is drawn from.
#include "report.h"

#include <cstdio>
#include <cstring>
#include <vector>

#include "../chem/elements.h"
#include "../database/nearest.h"
#include "../driver/failure.h"
#include "../driver/text.h"
#include "../output/writer.h"

using json = nlohmann::ordered_json;

namespace {

json triple(const double* v) {
    json out = json::array();
    out.get_ref<json::array_t&>().reserve(3);
    for (int c = 0; c < 3; ++c) out.push_back(v[c]);
    return out;
}

// An empty object with room for `keys` members: the members of an ordered object are kept
// in a vector whose keys cannot be moved, so growing it would copy every member.
json objectWithRoom(std::size_t keys) {
    json out = json::object();
    out.get_ref<json::object_t&>().reserve(keys);
    return out;
}

const char* axisLetter(int code) {
    switch (code) {
    case 1: return "X";
    case 2: return "Y";
    case 3: return "Z";
    default: return "";
    }
}

std::string elementSymbol(const Quandrel& q, int i) {
    return ::elementSymbol(q.elementOf(i));
}

// Label of a 1-based atom number of a frame: an atom, a dummy behind the atoms, or "" when
// the number points nowhere.
std::string referenceLabel(const Quandrel& q, int number) {
    if (number >= 1 && number <= q.nAtoms) return q.atom[static_cast<std::size_t>(number - 1)].label;
    const int dummy = number - 1 - q.nAtoms;
    if (dummy >= 0 && dummy < q.nDummy) return "DUM" + std::to_string(dummy);
    return "";
}

// The stereo mark that leads a name ("R" or "S"), or "" when there is none.
std::string stereoMark(const char* name) {
    for (const char* p = name; p[0] != '\0' && p[1] == '-'; p += 2) {
        if (p[0] == 'R' || p[0] == 'S') return std::string(1, p[0]);
        if (p[0] != '=') break;
    }
    return "";
}

json nullable(const std::string& text) { return text.empty() ? json(nullptr) : json(text); }

json correctionOf(const MonopoleCorrection& c, std::size_t m) {
    json out;
    out["mode"] = c.mode;
    const bool applies = m < c.applies.size() && c.applies[m] != 0;
    out["applied"] = applies;
    if (!applies) return out;
    switch (c.mode) {
    case 1:
        out["kind"] = "monopoles multiplied by a factor";
        out["factor"] = c.corrFactor[m];
        break;
    case 2:
        out["kind"] = "electronegativity-weighted share of the difference added";
        out["difference"] = c.difference[m];
        out["meanElectronegativity"] = c.corrMeanElNeg[m];
        out["atomsCounted"] = c.counted[m];
        break;
    case 3:
        out["kind"] = "average difference added to the hydrogen monopoles";
        out["addedPerHydrogen"] = c.corrHydrogen[m];
        break;
    default:
        out["kind"] = "average difference added to every monopole";
        out["addedPerAtom"] = c.corrAverage[m];
        break;
    }
    return out;
}

}  // namespace

int missingAtoms(const Quandrel& q) {
    int missing = 0;
    for (int i = 0; i < q.nAtoms; ++i)
        if (static_cast<std::size_t>(i) >= gut.size() || gut[static_cast<std::size_t>(i)] == 0) ++missing;
    return missing;
}

void announceMissingAtoms(const Quandrel& q) {
    const int missing = missingAtoms(q);
    if (missing == 0) return;
    fprintf(stderr, "%d of %d atoms were not found in the database; Quandrele.html lists the nearest database "
                    "entries for each.\n",
            missing, q.nAtoms);
}

namespace {

json settingsOf(const Quandrel& q) {
    return {
        {"einfach_meso", q.einfachMeso},
        {"meso_zweifach", q.mesoZweifach},
        {"zweifach_dreifach", q.zweifachDreifach},
        {"achieve_neutrality", q.achieveNeutrality},
        {"qdlexp", q.qdlexp},
        {"Ions", q.ions},
        {"UseNewRingNomenclature", q.useNewRingNomenclature},
        {"Hydrogen-Constrain", q.hydrogenConstrain},
        {"Inputtype", q.crystalInput == 1   ? "CIF"
                      : q.crystalInput == 2 ? "SHELX"
                      : q.moproInput != 0   ? "MOPRO"
                                            : "XD"},
        {"planar", q.planaris},
    };
}

// The frame of an atom: its axes, reference atoms and the dummies among them.
json frameOf(const Quandrel& q, const AtomRecord& a) {
    json frame = objectWithRoom(5);
    frame["axis1"] = axisLetter(a.ax1);
    frame["atom0"] = referenceLabel(q, a.atom0);
    frame["axis2"] = axisLetter(a.ax2);
    frame["atom2"] = referenceLabel(q, a.atom2);
    json dummies = json::array();
    for (int number : {a.atom0, a.atom2}) {
        const int d = number - 1 - q.nAtoms;
        if (d < 0 || d >= q.nDummy) continue;
        json dummy = objectWithRoom(2);
        dummy["label"] = referenceLabel(q, number);
        dummy["fractional"] = triple(q.atom[static_cast<std::size_t>(number - 1)].frac);
        dummies.push_back(std::move(dummy));
    }
    frame["dummies"] = std::move(dummies);
    return frame;
}

// The database entries nearest to a name that is not in the database.
json nearestEntries(NameCatalogue& catalogue, const char* name) {
    json nearest = json::array();
    for (const NearEntry& e : catalogue.nearest(name))
        nearest.push_back({{"name", e.name},
                           {"modelCompound", e.modelCompound},
                           {"sharedFirstShellTerms", e.sharedTerms},
                           {"termEdits", e.edits}});
    return nearest;
}

json atomEntry(const Quandrel& q, int i, NameCatalogue& catalogue, const MonopoleCorrection& correction) {
    const AtomRecord& a = q.atom[static_cast<std::size_t>(i)];
    const bool found = static_cast<std::size_t>(i) < gut.size() && gut[static_cast<std::size_t>(i)] != 0;
    const char* name = i < MAX_ATOMS ? q.quandrelName[i] : "";
    json entry = objectWithRoom(22);
    entry["label"] = a.label;
    entry["element"] = elementSymbol(q, i);
    entry["name"] = name;
    entry["found"] = found;
    entry["modelCompound"] = found ? nullable(a.modelCompound) : json(nullptr);
    entry["siteSymmetry"] = a.siteSym;
    entry["frame"] = frameOf(q, a);
    entry["kappaSet"] = a.kap;
    json kappa = json::array();
    for (double k : a.kappa) kappa.push_back(k);
    entry["kappa"] = std::move(kappa);
    entry["occupancy"] = a.occupancy;
    entry["monopoleRead"] = a.multipole[0];
    entry["monopoleBeforeCorrection"] = a.occupancy * a.multipole[0];
    entry["monopoleWritten"] = correction.monopole(q, i);
    entry["molecule"] = a.molecule;
    entry["ringCode"] = a.ringCode;
    entry["stereo"] = nullable(stereoMark(name));
    entry["constrainedTo"] = nullable(a.sameNameAs);
    entry["fractional"] = triple(a.frac);
    entry["cartesian"] = triple(a.cart);
    if (!found) entry["nearest"] = nearestEntries(catalogue, name);
    return entry;
}

json dummiesOf(Quandrel& q) {
    json dummies = json::array();
    for (int k = 0; k < q.nDummy; ++k) {
        const std::size_t p = static_cast<std::size_t>(q.nAtoms + k);
        if (p >= q.atom.size()) break;
        double cart[3];
        q.frac2cart(q.atom[p].frac, cart);
        dummies.push_back({{"label", "DUM" + std::to_string(k)},
                           {"fractional", triple(q.atom[p].frac)},
                           {"cartesian", triple(cart)}});
    }
    return dummies;
}

json bondsOf(const Quandrel& q) {
    json bonds = json::array();
    for (int i = 0; i < q.nAtoms && static_cast<std::size_t>(i) < q.knopf.size(); ++i) {
        const Quandrel::Knopf& node = q.knopf[static_cast<std::size_t>(i)];
        for (int k = 0; k < node.anzahl && k < 13; ++k) {
            const int j = node.nachbar[k];
            if (j > i && j < q.nAtoms)
                bonds.push_back(json::array({q.atom[static_cast<std::size_t>(i)].label,
                                             q.atom[static_cast<std::size_t>(j)].label}));
        }
    }
    return bonds;
}

json moleculesOf(const Quandrel& q, const MonopoleCorrection& correction) {
    // Atoms per molecule, counted in one pass (molecules are numbered from 1).
    std::vector<int> count(correction.applies.size(), 0);
    for (int i = 0; i < q.nAtoms; ++i) {
        const int m = q.atom[static_cast<std::size_t>(i)].molecule;
        if (m >= 1 && static_cast<std::size_t>(m) <= count.size()) ++count[static_cast<std::size_t>(m - 1)];
    }
    json molecules = json::array();
    for (std::size_t m = 0; m < correction.applies.size(); ++m) {
        molecules.push_back({{"number", m + 1},
                             {"atoms", count[m]},
                             {"electronsExpected", correction.expected[m]},
                             {"monopoleSum", correction.monopoleSum[m]},
                             {"correction", correctionOf(correction, m)}});
    }
    return molecules;
}

}  // namespace

json runReport(Quandrel& q, NameCatalogue& catalogue, std::size_t databaseEntries,
               const MonopoleCorrection& correction) {
    json run;
    run["program"] = "QuandrelTool";
    run["title"] = q.title;
    run["settings"] = settingsOf(q);
    run["database"] = {{"path", q.databasePath}, {"entries", databaseEntries}};
    run["cell"] = json::array({q.cell[0], q.cell[1], q.cell[2], q.cell[3], q.cell[4], q.cell[5]});
    json atoms = json::array();
    atoms.get_ref<json::array_t&>().reserve(static_cast<std::size_t>(q.nAtoms));
    for (int i = 0; i < q.nAtoms; ++i) atoms.push_back(atomEntry(q, i, catalogue, correction));
    run["atoms"] = std::move(atoms);
    run["missing"] = missingAtoms(q);
    run["dummies"] = dummiesOf(q);
    run["bonds"] = bondsOf(q);
    run["molecules"] = moleculesOf(q, correction);
    return run;
}

namespace {

// Writes a text file; false (with the reason on standard error) when it cannot be written.
bool writeText(const char* name, const std::string& text) {
    FileHandle f = openFile(name, "w");
    if (!f) {
        fprintf(stderr, "Warning: %s could not be created", name);
        reportSystemError(" ");
        return false;
    }
    const bool written = fwrite(text.data(), 1, text.size(), f.get()) == text.size() && fflush(f.get()) == 0 &&
                         ferror(f.get()) == 0;
    if (fclose(f.release()) != 0 || !written) {
        fprintf(stderr, "Warning: writing %s failed", name);
        reportSystemError(" ");
        return false;
    }
    return true;
}

}  // namespace

std::string jsonText(const json& run) { return run.dump(2, ' ', false, json::error_handler_t::replace) + "\n"; }

void writeRunReport(Quandrel& q) {
    // The nearest entries of missing atoms are ranked among the names the database stage read.
    NameCatalogue catalogue;
    if (missingAtoms(q) > 0)
        for (const auto& entry : q.databaseNames) catalogue.add(entry.first, entry.second);
    const json run = runReport(q, catalogue, q.databaseNames.size(), appliedCorrection);
    writeText("Quandrele.json", jsonText(run));
    writeText("Quandrele.html", reportPage(run));
}
