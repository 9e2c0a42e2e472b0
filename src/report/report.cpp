// The run as data: what "Quandrele.json" holds and the page is drawn from.
#include "report.h"

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <type_traits>
#include <utility>
#include <vector>

#include <gemmi/symmetry.hpp>
#include <sys/stat.h>
#include <unistd.h>

#include <ctime>

#include "../chem/elements.h"
#include "../geometry/cell.h"
#include "../symmetry/spacegroup.h"
#include "../database/nearest.h"
#include "../core/failure.h"
#include "../core/text.h"
#include "ellipse.h"
#include "textsink.h"

using json = nlohmann::ordered_json;

int missingAtoms(const TransferRecords& q) {
    int missing = 0;
    for (int i = 0; i < q.model.nAtoms; ++i)
        if (static_cast<std::size_t>(i) >= q.t.inDatabase.size() || q.t.inDatabase[static_cast<std::size_t>(i)] == 0) ++missing;
    return missing;
}

void announceMissingAtoms(const TransferRecords& q) {
    const int missing = missingAtoms(q);
    if (missing == 0) return;
    fprintf(stderr, "%d of %d atoms were not found in the database; Quandrele.html lists the nearest database "
                    "entries for each.\n",
            missing, q.model.nAtoms);
}

// ---- the run as the report tells it

RunReport::RunReport(const TransferRecords& run, NameCatalogue& names, std::size_t databaseEntries, MonopoleCorrection applied)
    : q(run), geometry(run.model.cell), catalogue(names), entries(databaseEntries), correction(std::move(applied)),
      missing(missingAtoms(run)) {
    if (run.p.imageOrigin.empty()) return;
    for (const std::string& text : run.p.symmetryOps) {
        SymOp op;
        std::string why;
        imageOperators.push_back(parseOperator(text, op, why) ? std::optional<SymOp>(op) : std::nullopt);
    }
}

RunReport runReport(const TransferRecords& q, NameCatalogue& catalogue, std::size_t databaseEntries,
                    const MonopoleCorrection& correction) {
    return RunReport(q, catalogue, databaseEntries, correction);
}

bool RunReport::found(int i) const {
    return static_cast<std::size_t>(i) < q.t.inDatabase.size() && q.t.inDatabase[static_cast<std::size_t>(i)] != 0;
}

const char* RunReport::name(int i) const {
    return i < MAX_ATOMS ? q.p.quandrelName[static_cast<std::size_t>(i)] : "";
}

const char* RunReport::element(int i) const { return elementSymbol(q.model.elementOf(i)); }

const std::string* RunReport::modelCompound(int i) const {
    const std::string& compound = atom(i).modelCompound;
    return found(i) && !compound.empty() ? &compound : nullptr;
}

char RunReport::stereo(int i) const {
    for (const char* p = name(i); p[0] != '\0' && p[1] == '-'; p += 2) {
        if (p[0] == 'R' || p[0] == 'S') return p[0];
        if (p[0] != '=') break;
    }
    return 0;
}

const char* RunReport::constrainedTo(int i) const {
    const std::string& label = q.p.sameNameAs[static_cast<std::size_t>(i)];
    return label.empty() ? nullptr : label.c_str();
}

double RunReport::monopoleBefore(int i) const { return atom(i).occupancy * atom(i).multipole[0]; }

double RunReport::monopoleWritten(int i) const { return correction.monopole(q.model, q.p, i); }

const std::vector<NearEntry>& RunReport::nearest(int i) const { return catalogue.nearest(name(i)); }

int RunReport::dummyOf(int number) const {
    const int d = number - 1 - q.model.nAtoms;
    return d >= 0 && d < q.model.nDummy ? d : -1;
}

std::string_view RunReport::referenceLabel(int number, char (&scratch)[24]) const {
    if (number >= 1 && number <= q.model.nAtoms) return atom(number - 1).label;
    const int d = dummyOf(number);
    if (d < 0) return {};
    std::snprintf(scratch, sizeof scratch, "DUM%d", d);
    return scratch;
}

int RunReport::dummies() const {
    int n = 0;
    while (n < q.model.nDummy && static_cast<std::size_t>(q.model.nAtoms + n) < q.model.atom.size()) ++n;
    return n;
}

void RunReport::dummyCartesian(int k, double (&cart)[3]) const {
    geometry.toCartesian(q.model.atom[static_cast<std::size_t>(q.model.nAtoms + k)].frac, cart);
}

namespace {

std::string isoTime(std::time_t t) {
    std::tm utc{};
    char text[32] = "";
    if (gmtime_r(&t, &utc) != nullptr) std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
    return text;
}

}  // namespace

void removeRunReport() {
    // unlink, not remove: whatever else stands under these names (a folder) is not ours
    unlink("Quandrele.html");
    unlink("Quandrele.json");
}

std::string reportTime() { return isoTime(std::time(nullptr)); }

std::vector<InputFile> RunReport::inputFiles() const {
    std::vector<InputFile> files;
    auto add = [&](const char* role, const std::string& path) {
        struct stat st {};
        if (path.empty() || stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return;
        for (const InputFile& f : files)
            if (f.path == path) return;
        files.push_back({role, path, isoTime(st.st_mtime)});
    };
    const Options& o = q.opt;
    add("settings", o.settingsPath);
    add("settings", "qdltool.ini");
    add("structure", q.model.source);
    add("structure", o.inputFile);
    if (o.crystalInput == 0 && o.moproInput == 0) add("structure", access("xd.res", F_OK) == 0 ? "xd.res" : "xd.inp");
    add("master file", "xd.mas");
    if (o.moproInput != 0) add("scattering table", o.moproTabPath[0] != '\0' ? o.moproTabPath : "mopro.tab");
    add("database", o.databasePath);
    add("disorder parts", "xd_part.aux");
    add("name overrides", "Quandrele.in");
    add("molecule charges", "Molecule-Charges.in");
    return files;
}

std::vector<std::string> RunReport::operators() const {
    if (!q.p.symmetryOps.empty()) return q.p.symmetryOps;
    std::vector<std::string> texts;
    for (const SymOp& op : symmetryOperators(q.model.symmetry, q.model.source.c_str())) texts.push_back(op.text);
    return texts;
}

std::string RunReport::spaceGroup() const {
    if (!q.model.symmetry.known) return "";  // the input stated none: it is not taken as P1
    try {
        std::vector<gemmi::Op> ops;
        for (const std::string& text : operators()) ops.push_back(gemmi::parse_triplet(text));
        const gemmi::SpaceGroup* sg = gemmi::find_spacegroup_by_ops(gemmi::split_centering_vectors(ops));
        return sg != nullptr ? sg->xhm() : "";
    } catch (const std::exception&) {
        return "";
    }
}

std::vector<double> RunReport::displacement(int i) const {
    const double* u = atom(i).u;
    if (u[1] == 0 && u[2] == 0 && u[3] == 0 && u[4] == 0 && u[5] == 0) return {u[0]};
    double cart[6];
    cartesianU(i, cart);
    if (isotropicU(cart)) return {(cart[0] + cart[1] + cart[2]) / 3};
    return {u, u + 6};
}

void RunReport::cartesianU(int i, double (&out)[6]) const { cartesianDisplacement(geometry, atom(i).u, out); }

int RunReport::images() const {
    if (q.p.nInput < 0) return 0;
    return static_cast<int>(std::min(q.p.imageOrigin.size(), q.p.imageAtom.size()));
}

ImageView RunReport::image(int k) const {
    const ImageOrigin& o = q.p.imageOrigin[static_cast<std::size_t>(k)];
    ImageView v;
    v.record = &q.p.imageAtom[static_cast<std::size_t>(k)];
    v.label = v.record->label;
    v.origin = o.atom;
    v.op = o.op + 1;
    for (int c = 0; c < 3; ++c) v.shift[c] = o.shift[c];
    return v;
}

void RunReport::imageCartesianU(int k, double (&u)[6]) const {
    const ImageView v = image(k);
    double atomU[6];
    cartesianU(v.origin, atomU);
    const std::size_t op = static_cast<std::size_t>(v.op - 1);
    if (v.op < 1 || op >= imageOperators.size() || !imageOperators[op]) {
        std::copy(atomU, atomU + 6, u);
        return;
    }
    rotatedDisplacement(geometry, imageOperators[op]->rot, atomU, u);
}

std::vector<std::pair<int, int>> RunReport::imageBonds() const {
    std::vector<std::pair<int, int>> out;
    const int end = atoms() + images();
    if (images() == 0) return out;
    for (const Bond& b : q.p.bonds)
        if ((b.first >= atoms() || b.second >= atoms()) && b.first < end && b.second < end)
            out.emplace_back(b.first, b.second);
    return out;
}

const char* RunReport::siteLabel(int index) const {
    return index < atoms() ? atom(index).label : q.p.imageAtom[static_cast<std::size_t>(index - atoms())].label;
}

int RunReport::imageOfDummy(int k) const {
    for (std::size_t m = 0; m < q.t.imageDummy.size(); ++m)
        if (q.t.imageDummy[m] == q.model.nAtoms + k) return static_cast<int>(m);
    return -1;
}

bool RunReport::dummyUnplaced(int k) const {
    const char* label = q.model.atom[static_cast<std::size_t>(q.model.nAtoms + k)].label;
    for (const RunWarning& w : warnings())
        if (w.kind == "dummy without a position rule" && w.atoms.size() > 1 && w.atoms[1] == label) return true;
    return false;
}

std::vector<int> RunReport::moleculeSizes() const {
    std::vector<int> count(correction.applies.size(), 0);
    for (int i = 0; i < q.model.nAtoms; ++i) {
        const int m = q.p.molecule[static_cast<std::size_t>(i)];
        if (m >= 1 && static_cast<std::size_t>(m) <= count.size()) ++count[static_cast<std::size_t>(m - 1)];
    }
    return count;
}

const char* axisLetter(int code) {
    switch (code) {
    case 1: return "X";
    case 2: return "Y";
    case 3: return "Z";
    default: return "";
    }
}

namespace {

// ---- what "Quandrele.json" says, in its order

template <class Out>
void triple(Out& out, const char* key, const double* v) {
    out.open(key, '[');
    for (int c = 0; c < 3; ++c) out.item(v[c]);
    out.close();
}

template <class Out>
void textOrNull(Out& out, const char* key, const char* text) {
    if (text != nullptr)
        out.member(key, text);
    else
        out.member(key, nullptr);
}

template <class Out>
void describeSettings(const Options& o, Out& out) {
    out.open("settings", '{');
    out.member("einfach_meso", o.einfachMeso);
    out.member("meso_zweifach", o.mesoZweifach);
    out.member("zweifach_dreifach", o.zweifachDreifach);
    out.member("achieve_neutrality", o.achieveNeutrality);
    out.member("qdlexp", o.qdlexp);
    out.member("Ions", o.ions);
    out.member("UseNewRingNomenclature", o.useNewRingNomenclature);
    out.member("Hydrogen-Constrain", o.hydrogenConstrain);
    out.member("Inputtype", o.crystalInput == 1   ? "CIF"
                            : o.crystalInput == 2 ? "SHELX"
                            : o.moproInput != 0   ? "MOPRO"
                                                  : "XD");
    out.member("planar", o.planaris);
    out.close();
}

template <class Out>
void describeProvenance(const RunReport& run, Out& out) {
    out.open("provenance", '{');
    out.member("version", run.provenance.version);
    out.open("arguments", '[');
    for (const std::string& a : run.provenance.arguments) out.item(a);
    out.close();
    out.member("date", run.provenance.date);
    out.member("settingsFile", run.options().settingsPath);
    out.open("inputFiles", '[');
    for (const InputFile& f : run.inputFiles()) {
        out.open('{');
        out.member("role", f.role);
        out.member("path", f.path);
        out.member("modified", f.modified);
        out.close();
    }
    out.close();
    out.close();
}

// One atom: its name and whether the database holds it, its frame (axes, reference atoms and
// the dummies among them), populations and positions; for a missing atom the nearest entries.
template <class Out>
void describeAtom(const RunReport& run, int i, Out& out) {
    const AtomRecord& a = run.atom(i);
    const bool found = run.found(i);
    char scratch[24];
    out.open('{');
    out.member("label", a.label);
    out.member("element", run.element(i));
    out.member("name", run.name(i));
    out.member("found", found);
    if (const std::string* compound = run.modelCompound(i))
        out.member("modelCompound", *compound);
    else
        out.member("modelCompound", nullptr);
    out.member("siteSymmetry", a.siteSym);
    out.open("frame", '{');
    out.member("axis1", axisLetter(a.ax1));
    out.member("atom0", run.referenceLabel(a.atom0, scratch));
    out.member("axis2", axisLetter(a.ax2));
    out.member("atom2", run.referenceLabel(a.atom2, scratch));
    out.open("dummies", '[');
    for (int number : {a.atom0, a.atom2}) {
        if (run.dummyOf(number) < 0) continue;
        out.open('{');
        out.member("label", run.referenceLabel(number, scratch));
        triple(out, "fractional", run.atom(number - 1).frac);
        out.close();
    }
    out.close();
    out.close();
    out.member("kappaSet", a.kap);
    out.open("kappa", '[');
    for (double k : a.kappa) out.item(k);
    out.close();
    out.member("occupancy", a.occupancy);
    out.member("part", run.part(i));
    out.open("displacement", '[');
    for (double u : run.displacement(i)) out.item(u);
    out.close();
    out.open("populations", '[');
    for (int k = 0; k < 26; ++k) out.item(run.populations(i)[k]);
    out.close();
    out.member("monopoleRead", a.multipole[0]);
    out.member("monopoleBeforeCorrection", run.monopoleBefore(i));
    out.member("monopoleWritten", run.monopoleWritten(i));
    out.member("molecule", run.molecule(i));
    out.member("ringCode", run.ringCode(i));
    const char stereo[2] = {run.stereo(i), '\0'};
    textOrNull(out, "stereo", stereo[0] != 0 ? stereo : nullptr);
    textOrNull(out, "constrainedTo", run.constrainedTo(i));
    triple(out, "fractional", a.frac);
    triple(out, "cartesian", a.cart);
    if (!found) {
        out.open("nearest", '[');
        for (const NearEntry& e : run.nearest(i)) {
            out.open('{');
            out.member("name", e.name);
            out.member("modelCompound", e.modelCompound);
            out.member("sharedFirstShellTerms", e.sharedTerms);
            out.member("termEdits", e.edits);
            out.close();
        }
        out.close();
    }
    out.close();
}

template <class Out>
void describeCorrection(const MonopoleCorrection& c, std::size_t m, Out& out) {
    out.open("correction", '{');
    out.member("mode", c.mode);
    const bool applies = m < c.applies.size() && c.applies[m] != 0;
    out.member("applied", applies);
    if (applies) {
        switch (c.mode) {
        case 1:
            out.member("kind", "monopoles multiplied by a factor");
            out.member("factor", c.corrFactor[m]);
            break;
        case 2:
            out.member("kind", "electronegativity-weighted share of the difference added");
            out.member("difference", c.difference[m]);
            out.member("meanElectronegativity", c.corrMeanElNeg[m]);
            out.member("atomsCounted", c.counted[m]);
            break;
        case 3:
            out.member("kind", "average difference added to the hydrogen monopoles");
            out.member("addedPerHydrogen", c.corrHydrogen[m]);
            break;
        default:
            out.member("kind", "average difference added to every monopole");
            out.member("addedPerAtom", c.corrAverage[m]);
            break;
        }
    }
    out.close();
}

// One model's fit to the data: its R-values and scale, then R1 per resolution shell.
template <class Out>
void describeModelFit(const char* name, const scattering::ModelFit& fit, Out& out) {
    const scattering::FitStatistics& s = fit.overall;
    out.open('{');
    out.member("model", name);
    out.member("scale", s.scale);
    out.member("r1Observed", s.r1Observed);
    out.member("observed", s.observed);
    out.member("r1All", s.r1All);
    out.member("count", s.count);
    out.member("wR2Unit", s.wr2Unit);
    out.member("wR2Sigma", s.wr2Sigma);
    out.open("shells", '[');
    for (const scattering::ResolutionShell& shell : fit.shells) {
        out.open('{');
        out.member("stolMin", shell.stolMin);
        out.member("stolMax", shell.stolMax);
        out.member("count", shell.count);
        out.member("r1", shell.r1);
        out.close();
    }
    out.close();
    out.close();
}

template <class Out>
void describeFitToData(const scattering::FitToData& fit, Out& out) {
    out.open("fitToData", '{');
    out.member("reflectionFile", fit.reflectionFile);
    out.member("reflections", fit.data.size());
    out.open("models", '[');
    describeModelFit("transferred", fit.model, out);
    describeModelFit("spherical", fit.spherical, out);
    out.close();
    out.close();
}

// The dummies (with the image each stands for) and the symmetry images.
template <class Out>
void describeDummiesAndImages(const RunReport& run, Out& out) {
    char scratch[24];
    out.open("dummies", '[');
    for (int k = 0; k < run.dummies(); ++k) {
        double cart[3];
        run.dummyCartesian(k, cart);
        out.open('{');
        out.member("label", run.referenceLabel(run.atoms() + k + 1, scratch));
        triple(out, "fractional", run.dummyFractional(k));
        triple(out, "cartesian", cart);
        const int image = run.imageOfDummy(k);
        if (image >= 0)
            out.member("standsForImage", run.image(image).label);
        else
            out.member("standsForImage", nullptr);
        out.member("unplaced", run.dummyUnplaced(k));
        out.close();
    }
    out.close();
    out.open("images", '[');
    const std::vector<std::string> operators = run.operators();
    for (int k = 0; k < run.images(); ++k) {
        const ImageView v = run.image(k);
        out.open('{');
        out.member("label", v.label);
        out.member("atom", run.label(v.origin));
        out.member("operator", v.op);
        out.member("operatorText", operators.at(static_cast<std::size_t>(v.op - 1)));
        out.open("translation", '[');
        for (int t : v.shift) out.item(t);
        out.close();
        triple(out, "fractional", v.record->frac);
        triple(out, "cartesian", v.record->cart);
        out.close();
    }
    out.close();
}

// The whole run. `Out` is a JsonStream (the text) or a JsonTree (the library's document).
template <class Out>
void describeRun(const RunReport& run, Out& out) {
    out.open('{');
    out.member("program", "QuandrelTool");
    out.member("schemaVersion", REPORT_SCHEMA_VERSION);
    out.member("title", run.title());
    describeProvenance(run, out);
    describeSettings(run.options(), out);
    out.open("database", '{');
    out.member("path", run.databasePath());
    out.member("entries", run.entries);
    out.close();
    out.open("cell", '[');
    for (int c = 0; c < 6; ++c) out.item(run.cell()[c]);
    out.close();
    out.member("spaceGroup", run.spaceGroup());
    out.open("operators", '[');
    for (const std::string& op : run.operators()) out.item(op);
    out.close();
    out.open("atoms", '[');
    for (int i = 0; i < run.atoms(); ++i) {
        describeAtom(run, i, out);
        out.spill();
    }
    out.close();
    out.member("missing", run.missing);
    describeDummiesAndImages(run, out);
    out.open("bonds", '[');
    run.forEachBond([&](int i, int j) {
        out.open('[');
        out.item(run.atom(i).label);
        out.item(run.atom(j).label);
        out.close();
        out.spill();
    });
    out.close();
    out.open("warnings", '[');
    for (const RunWarning& w : run.warnings()) {
        out.open('{');
        out.member("kind", w.kind);
        out.open("atoms", '[');
        for (const std::string& a : w.atoms) out.item(a);
        out.close();
        out.member("text", w.text);
        out.close();
    }
    out.close();
    out.open("imageBonds", '[');
    for (const auto& b : run.imageBonds()) {
        out.open('[');
        out.item(run.siteLabel(b.first));
        out.item(run.siteLabel(b.second));
        out.close();
    }
    out.close();
    out.open("molecules", '[');
    const std::vector<int> sizes = run.moleculeSizes();
    for (std::size_t m = 0; m < run.correction.applies.size(); ++m) {
        out.open('{');
        out.member("number", m + 1);
        out.member("atoms", sizes[m]);
        out.member("electronsExpected", run.correction.expected[m]);
        out.member("monopoleSum", run.correction.monopoleSum[m]);
        describeCorrection(run.correction, m, out);
        out.close();
    }
    out.close();
    if (run.fit != nullptr) describeFitToData(*run.fit, out);
    out.close();
}

// ---- the text: the library's layout (two spaces per level, "key": value, empty containers
// as [] and {}), written as it goes instead of held as one document

class JsonStream {
public:
    explicit JsonStream(TextSink& sink) : out_(sink) {}

    void open(char bracket) {
        place();
        opened(bracket);
    }
    void open(const char* key, char bracket) {
        name(key);
        opened(bracket);
    }
    void close() {
        const char bracket = closing_.back() == '{' ? '}' : ']';
        closing_.pop_back();
        if (!empty_) {
            out_.put('\n');
            indent();
        }
        out_.put(bracket);
        empty_ = false;
    }
    template <class Value>
    void item(const Value& value) {
        place();
        write(value);
    }
    template <class Value>
    void member(const char* key, const Value& value) {
        name(key);
        write(value);
    }
    void spill() { out_.spill(); }

private:
    // Before a value inside a container: the separator, a line end and the indentation.
    void place() {
        if (closing_.empty()) return;
        out_.put(empty_ ? "\n" : ",\n");
        empty_ = false;
        indent();
    }
    void name(const char* key) {  // keys are this file's own plain words
        place();
        out_.put('"');
        out_.put(key);
        out_.put("\": ");
    }
    void opened(char bracket) {
        out_.put(bracket);
        closing_.push_back(bracket);
        empty_ = true;
    }
    void indent() { out_.text().append(2 * closing_.size(), ' '); }

    void write(std::nullptr_t) { out_.put("null"); }
    void write(bool value) { out_.put(value ? "true" : "false"); }
    // The library's own shortest round-trip format (and null for what is no finite number),
    // so the digits are those of its dump.
    void write(double value) {
        if (!std::isfinite(value)) {
            out_.put("null");
            return;
        }
        char digits[64];
        const char* end = nlohmann::detail::to_chars(digits, digits + sizeof digits, value);
        out_.put(std::string_view(digits, static_cast<std::size_t>(end - digits)));
    }
    template <class Integer, class = std::enable_if_t<std::is_integral<Integer>::value>>
    void write(Integer value) {
        char digits[24];
        const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
        out_.put(std::string_view(digits, static_cast<std::size_t>(end - digits)));
    }
    void write(const char* text) { write(std::string_view(text)); }
    void write(const std::string& text) { write(std::string_view(text)); }
    // Plain printable ASCII goes out as it is; anything else (quotes, control characters,
    // bytes that are no UTF-8) is escaped or replaced by the library, as in its dump.
    void write(std::string_view text) {
        bool plain = true;
        for (char c : text)
            if (c < 0x20 || c > 0x7e || c == '"' || c == '\\') {
                plain = false;
                break;
            }
        if (plain) {
            out_.put('"');
            out_.put(text);
            out_.put('"');
        } else {
            out_.put(json(std::string(text)).dump(-1, ' ', false, json::error_handler_t::replace));
        }
    }

    TextSink& out_;
    std::string closing_;  // the open containers, outermost first
    bool empty_ = false;   // the innermost container has no value yet
};

// The library's document of the same description.
class JsonTree {
public:
    json root;

    void open(char bracket) { stack_.push_back(place(bracket == '{' ? json::object() : json::array())); }
    void open(const char* key, char bracket) {
        key_ = key;
        open(bracket);
    }
    void close() { stack_.pop_back(); }
    template <class Value>
    void item(const Value& value) {
        place(json(value));
    }
    void item(std::string_view value) { place(json(std::string(value))); }
    template <class Value>
    void member(const char* key, const Value& value) {
        key_ = key;
        item(value);
    }
    void spill() {}

private:
    json* place(json value) {
        if (stack_.empty()) {
            root = std::move(value);
            return &root;
        }
        json& parent = *stack_.back();
        if (parent.is_object()) {
            json& slot = parent[key_];
            slot = std::move(value);
            return &slot;
        }
        parent.push_back(std::move(value));
        return &parent.back();
    }

    std::vector<json*> stack_;
    const char* key_ = "";
};

}  // namespace

void writeJson(const RunReport& run, TextSink& out) {
    JsonStream stream(out);
    describeRun(run, stream);
    out.put('\n');
}

std::string jsonText(const RunReport& run) {
    TextSink out;
    writeJson(run, out);
    return out.take();
}

json runSettings(const Options& options) {
    JsonTree tree;
    describeSettings(options, tree);
    return std::move(tree.root);
}

json runDocument(const RunReport& run) {
    JsonTree tree;
    describeRun(run, tree);
    return std::move(tree.root);
}

std::string jsonText(const json& document) {
    return document.dump(2, ' ', false, json::error_handler_t::replace) + "\n";
}

// ---- the files

TextSink::TextSink(std::FILE* file) : file_(file) { text_.reserve(file != nullptr ? 2 * BLOCK : BLOCK / 16); }

void TextSink::writeOut() {
    if (!failed_ && !text_.empty() && std::fwrite(text_.data(), 1, text_.size(), file_) != text_.size()) {
        failed_ = true;
        error_ = errno;
    }
    text_.clear();
}

bool TextSink::finish() {
    if (file_ == nullptr) return true;
    writeOut();
    if (!failed_ && (std::fflush(file_) != 0 || std::ferror(file_) != 0)) {
        failed_ = true;
        error_ = errno;
    }
    if (failed_) errno = error_;
    return !failed_;
}

namespace {

// A report file that cannot be written: the warning with the reason as perror gives it (the
// page, written after the JSON, lists it).
void cannotWrite(WarningLog& warnings, const std::string& what) {
    std::string text = what + systemErrorText(" ");
    text.pop_back();
    warnings.warn("report file not written", {}, text);
}

// Writes one report file; a file that cannot be created or written is a warning (with the
// reason) on standard error.
void writeFile(const char* name, const RunReport& run, void (*write)(const RunReport&, TextSink&)) {
    FileHandle f = openFile(name, "w");
    if (!f) {
        cannotWrite(run.q.warnings, std::string(name) + " could not be created");
        return;
    }
    TextSink out(f.get());
    write(run, out);
    const bool written = out.finish();
    const int error = errno;
    if (fclose(f.release()) != 0 || !written) {
        if (!written) errno = error;
        cannotWrite(run.q.warnings, std::string("writing ") + name + " failed");
    }
}

}  // namespace

void writeRunReport(const TransferRecords& q, const Provenance& provenance, const scattering::FitToData* fit) {
    // The nearest entries of missing atoms are ranked among the names the database stage read.
    NameCatalogue catalogue;
    if (missingAtoms(q) > 0)
        for (const auto& entry : q.t.databaseNames) catalogue.add(entry.first, entry.second);
    RunReport run(q, catalogue, q.t.databaseEntries, q.t.appliedCorrection);
    run.provenance = provenance;
    run.fit = fit;
    writeFile("Quandrele.json", run, writeJson);
    writeFile("Quandrele.html", run, writePage);
}
