#include "app/run.h"
#include "testutil.h"

#include "geometry/cell.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include <gtest/gtest.h>

#include "chem/elements.h"
#include "core/text.h"

namespace {

std::string shellQuote(const std::string& s) {
    std::string q = "'";
    for (char c : s) {
        if (c == '\'')
            q += "'\\''";
        else
            q += c;
    }
    return q + "'";
}

std::string currentDir() {
    char buf[4096];
    if (getcwd(buf, sizeof buf) == nullptr) throw std::runtime_error("getcwd failed");
    return buf;
}

}  // namespace

std::string slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) lines.push_back(line);
    return lines;
}

int countOf(const std::string& text, const std::string& needle) {
    int n = 0;
    for (std::size_t p = text.find(needle); p != std::string::npos; p = text.find(needle, p + needle.size())) ++n;
    return n;
}

namespace {

// Captures the standard streams asked for from construction to finish(), or to destruction
// when the step in between throws.
class StreamCapture {
public:
    StreamCapture(bool out, bool err) : out_(out), err_(err) {
        std::fflush(nullptr);
        if (out_) testing::internal::CaptureStdout();
        if (err_) testing::internal::CaptureStderr();
    }
    ~StreamCapture() {
        if (active_) finish();
    }
    StreamCapture(const StreamCapture&) = delete;
    StreamCapture& operator=(const StreamCapture&) = delete;

    Streams finish() {
        std::fflush(nullptr);
        Streams s;
        if (out_) s.out = testing::internal::GetCapturedStdout();
        if (err_) s.err = testing::internal::GetCapturedStderr();
        active_ = false;
        return s;
    }

private:
    bool out_, err_;
    bool active_ = true;
};

}  // namespace

Streams capture(const std::function<void()>& step) {
    StreamCapture c(true, true);
    step();
    return c.finish();
}

Streams capture(Quandrel& q, const std::function<void()>& step) {
    std::fflush(q.logFile);
    const std::string before = slurp("Quandrele.log");
    Streams s = capture(step);
    std::fflush(q.logFile);
    s.log = slurp("Quandrele.log").substr(before.size());
    return s;
}

std::string captureStdout(const std::function<void()>& step) {
    StreamCapture c(true, false);
    step();
    return c.finish().out;
}

std::string captureStderr(const std::function<void()>& step) {
    StreamCapture c(false, true);
    step();
    return c.finish().err;
}

std::unique_ptr<Quandrel> readFixture(const ScratchDir& dir, const std::string& name) {
    dir.copyFolder(dataPath("fixtures/" + name));
    std::unique_ptr<Quandrel> q = openRun();
    q->perception.growSites(q->structure.nAtoms);
    q->perception.molecule.assign(static_cast<std::size_t>(q->structure.nAtoms), 0);
    beginTransfer(q->transfer, q->structure);
    return q;
}

int atomNamed(const Structure& q, const char* label) {
    for (int i = 0; i < q.nAtoms; ++i)
        if (std::strcmp(q.atom[i].label, label) == 0) return i;
    ADD_FAILURE() << "no atom " << label;
    return -1;
}

void connect(const PerceptionRun& run, int i, std::initializer_list<int> neighbours) {
    Perception& p = run.p;
    if (p.knopf.size() < static_cast<std::size_t>(run.s.nAtoms)) p.knopf.resize(static_cast<std::size_t>(run.s.nAtoms));
    Knopf& node = p.knopf[static_cast<std::size_t>(i)];
    node = Knopf();
    for (int nb : neighbours) node.nachbar[node.anzahl++] = nb;
    for (int a = 0; a < node.anzahl; ++a)
        for (int b = a + 1; b < node.anzahl; ++b) node.setAngle(a, b, run.angle(i, node.nachbar[a], node.nachbar[b]));
}

void connect(Quandrel& q, int i, std::initializer_list<int> neighbours) { connect(perceiving(q), i, neighbours); }
void connect(Records& r, int i, std::initializer_list<int> neighbours) { connect(r.perceiving(), i, neighbours); }

void name(Perception& p, int i, const std::string& text) { std::snprintf(p.quandrelName[i], NAME_CAP, "%s", text.c_str()); }
void name(Quandrel& q, int i, const std::string& text) { name(q.perception, i, text); }

void setU(AtomRecord& a, double u11, double u22, double u33, double u12, double u13, double u23) {
    const double u[6] = {u11, u22, u33, u12, u13, u23};
    for (int k = 0; k < 6; ++k) a.u[k] = u[k];
}

std::string dataPath(const std::string& name) { return std::string(TEST_DATA_DIR) + "/" + name; }

std::string examplePath(const std::string& name) { return std::string(EXAMPLES_DIR) + "/" + name; }

std::string sharedFixture(const std::string& name) {
    const std::string root = SHARED_FIXTURES_DIR;
    const std::string path = root + "/" + name;
    if (access(root.c_str(), R_OK) != 0)
        throw std::runtime_error("The shared fixtures are missing: " + root +
                                 " must exist beside the checkout (../shared/fixtures).");
    if (access(path.c_str(), R_OK) != 0) throw std::runtime_error("Shared fixture not found: " + path);
    return path;
}

ScratchDir::ScratchDir() {
    previous_ = currentDir();
    char tmpl[] = "/tmp/qdltest.XXXXXX";
    if (mkdtemp(tmpl) == nullptr) throw std::runtime_error("mkdtemp failed");
    path_ = tmpl;
    if (chdir(path_.c_str()) != 0) throw std::runtime_error("chdir failed");
}

ScratchDir::~ScratchDir() {
    if (chdir(previous_.c_str()) != 0) return;
    std::string cmd = "rm -rf " + shellQuote(path_);
    if (std::system(cmd.c_str()) != 0) {
    }
}

void ScratchDir::copyIn(const std::string& source, const std::string& name) const {
    std::string from = source.empty() || source[0] == '/' ? source : dataPath(source);
    write(name, slurp(from));
}

void ScratchDir::copyFolder(const std::string& folder) const {
    std::string from = folder.empty() || folder[0] == '/' ? folder : dataPath(folder);
    std::string cmd = "cp -r " + shellQuote(from) + "/. " + shellQuote(path_) + "/";
    if (std::system(cmd.c_str()) != 0) throw std::runtime_error("copy failed: " + from);
}

void ScratchDir::write(const std::string& name, const std::string& content) const {
    std::ofstream out(path_ + "/" + name, std::ios::binary);
    out << content;
}

std::string ScratchDir::read(const std::string& name) const { return slurp(path_ + "/" + name); }

bool ScratchDir::exists(const std::string& name) const { return access((path_ + "/" + name).c_str(), F_OK) == 0; }

RunResult runTool(const std::string& args, const std::string& stdinText) {
    char tmpl[] = "/tmp/qdlrun.XXXXXX";
    if (mkdtemp(tmpl) == nullptr) throw std::runtime_error("mkdtemp failed");
    std::string dir = tmpl;
    {
        std::ofstream in(dir + "/stdin", std::ios::binary);
        in << stdinText;
    }
    std::string cmd = std::string(QUANDRELTOOL_BIN) + " " + args + " < " + shellQuote(dir + "/stdin") + " > " +
                      shellQuote(dir + "/stdout") + " 2> " + shellQuote(dir + "/stderr");
    int status = std::system(cmd.c_str());
    RunResult r;
    if (WIFEXITED(status))
        r.code = WEXITSTATUS(status);
    else if (WIFSIGNALED(status))
        r.code = 128 + WTERMSIG(status);
    r.out = slurp(dir + "/stdout");
    r.err = slurp(dir + "/stderr");
    std::string rm = "rm -rf " + shellQuote(dir);
    if (std::system(rm.c_str()) != 0) {
    }
    return r;
}

StructureBuilder::StructureBuilder(double cellEdge) { setCell(cellEdge, cellEdge, cellEdge, 90, 90, 90); }

void StructureBuilder::setCell(double a, double b, double c, double alpha, double beta, double gamma) {
    double v[6] = {a, b, c, alpha, beta, gamma};
    std::memcpy(s_.cell, v, sizeof v);
}

int StructureBuilder::add(const std::string& label, const std::string& symbol, double x, double y, double z) {
    int t = 0;
    for (; t < s_.nScat; ++t)
        if (symbol == s_.scatTable[t].symbol) break;
    if (t == s_.nScat) {
        if (s_.nScat == MAX_SCAT) throw std::runtime_error("too many element kinds");
        ScatEntry& e = s_.scatTable[t];
        std::snprintf(e.symbol, sizeof e.symbol, "%s", symbol.c_str());
        e.number = t + 1;
        e.element = scatteringElementIndex(e.symbol);
        e.electrons = e.element + 1;
        // valence electrons of the neutral atom: electrons beyond the last closed shell
        static const int shells[] = {0, 2, 10, 18, 36, 54, 86};
        int core = 0;
        for (int s : shells)
            if (s < e.electrons) core = s;
        e.valenceElectrons = e.electrons - core;
        ++s_.nScat;
    }
    AtomRecord a;
    std::snprintf(a.label, sizeof a.label, "%s", label.c_str());
    a.cart[0] = x;
    a.cart[1] = y;
    a.cart[2] = z;
    toFractional(s_, a.cart, a.frac);
    a.tbl = t + 1;
    a.tp = 2;
    a.lmx = 4;
    a.kap = 1;
    a.occupancy = 1.0;
    atoms_.push_back(a);
    return static_cast<int>(atoms_.size()) - 1;
}

Structure StructureBuilder::structure() const {
    Structure s = s_;
    s.nAtoms = static_cast<int>(atoms_.size());
    s.atom.assign(atoms_.begin(), atoms_.end());
    s.makeRoomForAtoms(s.nAtoms, 0);
    return s;
}

std::unique_ptr<Quandrel> StructureBuilder::build() const {
    std::unique_ptr<Quandrel> q(new Quandrel(Quandrel::NoInput{}));
    q->structure = structure();
    q->perception.growSites(q->structure.nAtoms);
    q->perception.molecule.assign(static_cast<std::size_t>(q->structure.nAtoms), 0);
    beginTransfer(q->transfer, q->structure);
    return q;
}

Records::Records(Structure s) : structure(std::move(s)), out(std::tmpfile()), log(std::tmpfile()) {
    if (out == nullptr || log == nullptr) throw std::runtime_error("no temporary file for the report files");
    perception.growSites(structure.nAtoms);
    perception.molecule.assign(static_cast<std::size_t>(structure.nAtoms), 0);
    beginTransfer(transfer, structure);
}

Records::~Records() {
    std::fclose(out);
    std::fclose(log);
}

void Records::perceive() {
    FILE* noAnswers = std::tmpfile();
    perception = ::perceive(structure, opt, out, log, noAnswers);
    std::fclose(noAnswers);
}

std::string Records::logText() const {
    std::fflush(log);
    std::string text;
    std::rewind(log);
    char buffer[4096];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, log)) > 0) text.append(buffer, n);
    std::fseek(log, 0, SEEK_END);
    return text;
}

Streams capture(Records& r, const std::function<void()>& step) {
    const std::size_t before = r.logText().size();
    Streams s = capture(step);
    s.log = r.logText().substr(before);
    return s;
}

Stopped failureOf(const std::function<void()>& code) {
    Stopped s;
    testing::internal::CaptureStderr();
    try {
        code();
    } catch (const Failure& f) {
        s.stopped = true;
        s.code = f.code();
        s.banner = f.banner();
        s.stage = f.stage();
        s.message = f.message();
    }
    s.err = testing::internal::GetCapturedStderr() + s.message;
    return s;
}

testing::AssertionResult stopsWith(const std::function<void()>& code, int exitCode, const std::string& text,
                                   const std::string& stage) {
    const Stopped s = failureOf(code);
    if (!s.stopped) return testing::AssertionFailure() << "the code did not stop the run; standard error:\n" << s.err;
    if (s.code != exitCode) return testing::AssertionFailure() << "exit code " << s.code << ", not " << exitCode;
    if (!s.banner) return testing::AssertionFailure() << "no error banner";
    if (s.err.find(text) == std::string::npos)
        return testing::AssertionFailure() << "standard error lacks \"" << text << "\":\n" << s.err;
    if (!stage.empty() && s.stage != stage)
        return testing::AssertionFailure() << "the banner names " << s.stage << ", not " << stage;
    return testing::AssertionSuccess();
}

std::vector<std::string> readerLines(const std::string& content, bool contentOnly) {
    FILE* f = tmpfile();
    fwrite(content.data(), 1, content.size(), f);
    rewind(f);
    LineReader reader(f);
    std::vector<std::string> lines;
    std::string line;
    while (contentOnly ? reader.nextContent(line) : reader.next(line)) lines.push_back(line);
    fclose(f);
    return lines;
}

PerceptionRun perceiving(Quandrel& q) {
    const PerceptionRun run{q.structure, q.opt, q.perception, q.outFile, q.logFile};
    q.perception.growSites(run.sites());
    return run;
}

double distanceBetween(const Structure& s, double x1, double y1, double z1, double x2, double y2, double z2) {
    const double a[3] = {x1, y1, z1}, b[3] = {x2, y2, z2};
    return cellGeometry(s.cell).distance(a, b);
}

void toCartesian(const Structure& s, const double* frac, double (&cart)[3]) {
    cellGeometry(s.cell).toCartesian(frac, cart);
}

void toFractional(const Structure& s, const double* cart, double (&frac)[3]) {
    cellGeometry(s.cell).toFractional(cart, frac);
}

TransferRun writing(Quandrel& q) { return q.records(); }
