#include "options.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "../core/failure.h"
#include "../core/stage.h"
#include "../core/text.h"

namespace {

// Longest values the run takes; a longer value stops it instead of being cut into another path.
constexpr std::size_t SETTINGS_PATH_MAX = 219;
constexpr std::size_t INPUT_SWITCH_MAX = 399;
constexpr std::size_t BLOCK_SWITCH_MAX = 199;

// Longest settings line the program takes; longer lines are ignored with a warning.
constexpr std::size_t SETTINGS_LINE_MAX = 127;

bool is(const char* arg, const char* sw) { return std::strcmp(arg, sw) == 0; }

void requireLength(const char* value, std::size_t max, const char* sw) {
    if (std::strlen(value) > max) fatal("The value of %s is longer than %zu characters.", sw, max);
}

// True for an argument that is a number as a whole ("0.05", "1e-2").
bool isNumber(const char* text) {
    char* end = nullptr;
    std::strtod(text, &end);
    return end != text && *end == '\0';
}

// The lines that can carry a setting, in file order (comment lines never can).
std::vector<std::string> settingLines(FILE* file, const char* name, WarningLog& warnings) {
    std::vector<std::string> lines;
    LineReader reader(file);
    std::string line;
    while (reader.next(line)) {
        if (!line.empty() && line[0] == '!') continue;
        if (line.size() > SETTINGS_LINE_MAX) {
            warnings.warnLine("settings line ignored", {},
                              format("Line %ld of %s is longer than %zu characters and is ignored.",
                                     reader.lineNumber(), name, SETTINGS_LINE_MAX));
            continue;
        }
        lines.push_back(line);
    }
    return lines;
}

// The first line that yields a value for the scan format, or nullptr.
template <typename... Out>
bool firstMatch(const std::vector<std::string>& lines, const char* format, Out... out) {
    for (const std::string& line : lines)
        if (sscanf(line.c_str(), format, out...) >= 1) return true;
    return false;
}

// The settings value inputType ("CIF", "SHELX") and the switch -input (by its extension)
// choose the reader of the structure; stops the run on an unknown extension or a missing
// file name.
void selectCrystalInput(Options& o, const char* inputType, const char* settingsFile, WarningLog& warnings) {
    if (std::strcmp(inputType, "CIF") == 0) o.crystalInput = 1;
    if (std::strcmp(inputType, "SHELX") == 0) o.crystalInput = 2;
    if (!o.inputSwitch.empty()) {
        std::string extension;
        const std::size_t dot = o.inputSwitch.rfind('.');
        if (dot != std::string::npos && o.inputSwitch.find('/', dot) == std::string::npos)
            for (std::size_t c = dot; c < o.inputSwitch.size(); ++c)
                extension += static_cast<char>(std::tolower(static_cast<unsigned char>(o.inputSwitch[c])));
        if (extension == ".cif")
            o.crystalInput = 1;
        else if (extension == ".res" || extension == ".ins")
            o.crystalInput = 2;
        else
            fatal("-input %s: the file name must end in .cif (a CIF) or .res/.ins (a SHELX file).",
                  o.inputSwitch.c_str());
        o.moproInput = 0;
        copyOrStop(o.inputFile, sizeof o.inputFile, o.inputSwitch.c_str(),
                   "The value of -input is longer than %zu characters.", sizeof o.inputFile - 1);
    }
    if (o.crystalInput != 0 && o.inputFile[0] == '\0')
        fatal("Inputtype %s needs the file named by \"Inputfile(empty for XD)=\" or by the switch -input.\n"
              "The settings file %s names none.",
              o.crystalInput == 1 ? "CIF" : "SHELX", settingsFile);
    if (!o.block.empty() && o.crystalInput != 1)
        warnings.warnLine("switch ignored", {}, "The switch -block applies to CIF input only; it is ignored.");
}

// Every argument that is neither a switch the program knows nor the value of one gets a
// warning naming it (a mistyped "-symbonds" would otherwise drop what the user asked for
// without a word); the run goes on as before.
void warnUnknownSwitches(int argc, const char* const* argv, WarningLog& warnings) {
    static const char* const flags[] = {"-symmBonds", "-asymOnly", "-nonrelativistic", "-Version",
                                        "-help",      "-h",        "--help"};
    static const char* const valued[] = {"-INIPfad", "-DBPfad",     "-input",         "-block", "-atom",
                                         "-fcalc",   "-hkl",        "-radial",        "-functional",
                                         "-wavefunctions"};
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        bool known = false;
        for (const char* f : flags) known = known || is(arg, f);
        if (known) continue;
        for (const char* v : valued) known = known || is(arg, v);
        if (known) {
            ++i;
            continue;
        }
        if (is(arg, "-findSymm")) {
            if (i + 1 < argc && isNumber(argv[i + 1])) ++i;
            continue;
        }
        if (is(arg, "-planar")) {
            if (i + 1 < argc && argv[i + 1][0] != '-') ++i;
            continue;
        }
        if (arg[0] == '-') {
            warnings.warn("switch ignored", {},
                          format("the switch \"%s\" is unknown and is ignored (the switches: -help).", arg));
            if (i + 1 < argc && argv[i + 1][0] != '-') ++i;  // its value, if it has one, goes with it
        } else
            warnings.warn("switch ignored", {}, format("the argument \"%s\" belongs to no switch and is ignored.", arg));
    }
}

}  // namespace

CommandLine parseCommandLine(int argc, const char* const* argv) {
    CommandLine c;
    Options& o = c.options;
    for (int i = 1; i < argc; ++i) {
        if (i + 1 < argc && is(argv[i], "-INIPfad")) {
            ++i;
            requireLength(argv[i], SETTINGS_PATH_MAX, "-INIPfad");
            o.settingsPath = argv[i];
        }
    }
    for (int i = 1; i < argc; ++i) {
        if (is(argv[i], "-Version")) {
            c.action = Action::Version;
            return c;
        }
        if (is(argv[i], "-help") || is(argv[i], "-h") || is(argv[i], "--help")) {
            c.action = Action::Help;
            return c;
        }
    }
    // the spherical atoms (-atom prints one and stops) and the structure factors
    for (int i = 1; i < argc; ++i) {
        if (is(argv[i], "-atom") || is(argv[i], "-functional") || is(argv[i], "-wavefunctions") ||
            is(argv[i], "-fcalc") || is(argv[i], "-hkl") || is(argv[i], "-radial")) {
            if (i + 1 >= argc) fatal("The switch %s needs a value.", argv[i]);
            const char* sw = argv[i++];
            if (is(sw, "-atom")) {
                o.atomElement = argv[i];
                c.action = Action::Atom;
            } else if (is(sw, "-wavefunctions")) {
                o.wavefunctionDir = argv[i];
            } else if (is(sw, "-fcalc")) {
                o.fcalcFile = argv[i];
            } else if (is(sw, "-hkl")) {
                o.hklFile = argv[i];
            } else if (is(sw, "-radial")) {
                o.radialFile = argv[i];
            } else {
                std::string v = argv[i];
                for (char& ch : v) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
                if (v != "PBE" && v != "LDA") fatal("-functional takes PBE or LDA, not \"%s\".", argv[i]);
                o.ldaFunctional = v == "LDA";
            }
        }
        if (is(argv[i], "-nonrelativistic")) o.relativistic = false;
    }
    if (c.action == Action::Atom) return c;
    for (int i = 1; i < argc; ++i) {
        if (is(argv[i], "-input") || is(argv[i], "-block")) {
            if (i + 1 >= argc) fatal("The switch %s needs a value.", argv[i]);
            const bool input = is(argv[i], "-input");
            ++i;
            requireLength(argv[i], input ? INPUT_SWITCH_MAX : BLOCK_SWITCH_MAX, input ? "-input" : "-block");
            (input ? o.inputSwitch : o.block) = argv[i];
        }
    }
    // The database, the symmetry analysis and the planarity threshold. A value belongs to
    // the switch before it; -findSymm takes the next argument as its tolerance only when
    // it is a number, so "-findSymm -planar 0.9" keeps the default tolerance.
    for (int i = 1; i < argc; ++i) {
        if (i + 1 < argc && is(argv[i], "-DBPfad")) {
            ++i;
            requireLength(argv[i], sizeof o.databasePath - 1, "-DBPfad");
            o.databaseSwitch = argv[i];
        }
        if (i < argc && is(argv[i], "-findSymm")) {
            o.findSymm = 1;
            o.symmTol = 0.01;
            if (i + 1 < argc && isNumber(argv[i + 1])) o.symmTol = std::atof(argv[++i]);
            c.echoes.push_back(format("(main)SYMMTOL = %f\n", o.symmTol));
        }
        if (i < argc && is(argv[i], "-planar")) {
            // a number is the threshold; another word is taken as the (unusable) value and
            // warned about; a switch behind -planar stays a switch
            o.planaris = 0.8;
            if (i + 1 < argc && isNumber(argv[i + 1])) {
                o.planaris = std::atof(argv[++i]);
            } else if (i + 1 < argc && argv[i + 1][0] != '-') {
                c.warnings.warn("switch ignored", {},
                                format("the value \"%s\" of -planar is not a number; the default %g is kept.",
                                       argv[i + 1], o.planaris));
                ++i;
            } else if (i + 1 < argc) {
                c.warnings.warn("switch ignored", {},
                                format("-planar is followed by no number; the default %g is kept.", o.planaris));
            } else {
                ++i;
            }
            c.echoes.push_back(format("PLANARIS = %f\n", o.planaris));
        }
    }
    for (int i = 1; i < argc; ++i) {
        if (is(argv[i], "-symmBonds")) o.symmBonds = 1;
        if (is(argv[i], "-asymOnly")) o.asymOnly = 1;
    }
    warnUnknownSwitches(argc, argv, c.warnings);
    return c;
}

void readSettingsFile(Options& o, WarningLog* log) {
    WarningLog unkept;
    WarningLog& warnings = log != nullptr ? *log : unkept;
    Stage stage("readIni");
    const char* openedAs = o.settingsPath.c_str();
    FILE* ini = fopen(openedAs, "rt");
    if (ini == nullptr) {
        std::string why = systemErrorText(openedAs);  // as perror writes it
        why.pop_back();
        warnings.warnLine("settings file not found", {}, why);
        ini = fopen("./qdltool.ini", "rt");
        openedAs = "qdltool.ini";
        if (ini == nullptr) {
            writeExampleSettings(o);
            stopWithError(1);
        }
    }
    // reference output: "succesfully"
    fprintf(stderr, "%s succesfully opened.\n", openedAs);
    const std::vector<std::string> lines = settingLines(ini, openedAs, warnings);
    fclose(ini);

    char hydrogen[400] = "";
    firstMatch(lines, "Hydrogen-Constrain[%*[^]]]=%399[^\n]", hydrogen);
    firstMatch(lines, "UseNewRingNomenclature=%d", &o.useNewRingNomenclature);
    firstMatch(lines, "qdlexp=%d", &o.qdlexp);
    firstMatch(lines, "einfach_meso=%lf", &o.einfachMeso);
    firstMatch(lines, "meso_zweifach=%lf", &o.mesoZweifach);
    firstMatch(lines, "zweifach_dreifach=%lf", &o.zweifachDreifach);
    const std::pair<const char*, double> thresholds[] = {
        {"einfach_meso", o.einfachMeso}, {"meso_zweifach", o.mesoZweifach}, {"zweifach_dreifach", o.zweifachDreifach}};
    for (const auto& threshold : thresholds)
        requireNumbers(&threshold.second, 1, openedAs, std::string("the value of ") + threshold.first);
    firstMatch(lines, "achieve_neutrality[0-3]=%d", &o.achieveNeutrality);
    firstMatch(lines, "DABA_PATH=%379s", o.databasePath);
    firstMatch(lines, "Ions=%d", &o.ions);
    char inputType[80] = "";
    firstMatch(lines, "Inputtype[XD|MOPRO]=%79s", inputType);
    o.inputFile[0] = '\0';
    firstMatch(lines, "Inputfile(empty for XD)=%399[^\n]", o.inputFile);
    firstMatch(lines, "Path_to_mopro.tab=%511[^\n]", o.moproTabPath);
    char metalBonds[80] = "";
    if (firstMatch(lines, "MetalBonds[0|1]=%79s", metalBonds)) {
        if (std::strcmp(metalBonds, "0") == 0 || std::strcmp(metalBonds, "1") == 0)
            o.metalBonds = metalBonds[0] - '0';
        else
            fprintf(stderr, "Warning: \"MetalBonds[0|1]=%s\" in %s is neither 0 nor 1; the default is kept.\n",
                    metalBonds, openedAs);
    }

    if (std::strcmp(hydrogen, "riding") == 0 || std::strcmp(hydrogen, "Uiso") == 0 ||
        std::strcmp(hydrogen, "both") == 0)
        std::strcpy(o.hydrogenConstrain, hydrogen);
    else
        std::strcpy(o.hydrogenConstrain, "none");
    o.uisoConstrain = std::strcmp(o.hydrogenConstrain, "Uiso") == 0 || std::strcmp(o.hydrogenConstrain, "both") == 0;
    o.ridingConstrain =
        std::strcmp(o.hydrogenConstrain, "riding") == 0 || std::strcmp(o.hydrogenConstrain, "both") == 0;
    if (std::strcmp(inputType, "MOPRO") == 0) o.moproInput = 1;
    selectCrystalInput(o, inputType, openedAs, warnings);

    writeExampleSettings(o);
    // -DBPfad overrides DABA_PATH (the example file keeps the settings file's value)
    if (o.databaseSwitch) copyText(o.databasePath, sizeof o.databasePath, o.databaseSwitch->c_str());
}

void writeExampleSettings(const Options& o) {
    FILE* f = fopen("example4qdltool.ini", "wt");
    if (f == nullptr) return;
    fprintf(f, "einfach_meso=%f\n", o.einfachMeso);
    fprintf(f, "meso_zweifach=%f\n", o.mesoZweifach);
    fprintf(f, "zweifach_dreifach=%f\n", o.zweifachDreifach);
    fprintf(f, "DABA_PATH=%s\n", o.databasePath);
    fprintf(f, "achieve_neutrality[0-3]=%d\n", o.achieveNeutrality);
    fprintf(f, "qdlexp=%d\n", o.qdlexp);
    fprintf(f, "Ions=%d\n", o.ions);
    fprintf(f, "UseNewRingNomenclature=%d\n", o.useNewRingNomenclature);
    fprintf(f, "Hydrogen-Constrain[Uiso|riding|both|none]=%s\n", o.hydrogenConstrain);
    const char* const crystalKinds[] = {"XD", "CIF", "SHELX"};
    fprintf(f, "Inputtype[XD|MOPRO]=%s\n",
            o.crystalInput == 1 || o.crystalInput == 2 ? crystalKinds[o.crystalInput]
            : o.moproInput != 0                        ? "MOPRO"
                                                       : "XD");
    fprintf(f, "Inputfile(empty for XD)=%s\n", o.inputFile);
    fprintf(f, "Path_to_mopro.tab=%s\n", o.moproTabPath);
    fclose(f);
    // reference output: "succesfully"
    fprintf(stderr, "'example4qdltool.ini' succesfully written.\n");
}

atoms::AtomSettings atomSettings(const Options& o) {
    atoms::AtomSettings settings;
    settings.functional = o.ldaFunctional ? atoms::Functional::LDA : atoms::Functional::PBE;
    settings.relativistic = o.relativistic;
    settings.wavefunctionDir = o.wavefunctionDir;
    return settings;
}
