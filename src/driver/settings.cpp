// The settings file: key=value lines, first match wins, "!" starts a comment line.
#include <cstdio>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "../core/stage.h"
#include "../input/crystal.h"
#include "Quandrel.h"
#include "../core/failure.h"
#include "../core/text.h"

namespace {

// Longest settings line the program takes; longer lines are ignored with a warning.
constexpr std::size_t SETTINGS_LINE_MAX = LINE_CAP - 1;

// The lines that can carry a setting, in file order (comment lines never can).
std::vector<std::string> settingLines(FILE* file, const char* name) {
    std::vector<std::string> lines;
    LineReader reader(file);
    std::string line;
    while (reader.next(line)) {
        if (!line.empty() && line[0] == '!') continue;
        if (line.size() > SETTINGS_LINE_MAX) {
            fprintf(stderr, "Line %ld of %s is longer than %zu characters and is ignored.\n",
                    reader.lineNumber(), name, SETTINGS_LINE_MAX);
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

}  // namespace

void Quandrel::readIni() {
    Stage stage("readIni");

    achieveNeutrality = 0;
    std::strcpy(databasePath, "/user/tarven/Datenbank/DABA.txt");
    einfachMeso = 0.0847;
    mesoZweifach = 0.184;
    zweifachDreifach = 0.27;
    std::strcpy(hydrogenConstrain, "none");
    useNewRingNomenclature = 1;
    moproTabPath[0] = '\0';

    const char* openedAs = INI_PATH;
    FILE* ini = fopen(INI_PATH, "rt");
    if (ini == nullptr) {
        reportSystemError(INI_PATH);
        ini = fopen("./qdltool.ini", "rt");
        openedAs = "qdltool.ini";
        if (ini == nullptr) {
            writeIni();
            stopWithError(1);
        }
    }
    // reference output: "succesfully"
    fprintf(stderr, "%s succesfully opened.\n", openedAs);
    const std::vector<std::string> lines = settingLines(ini, openedAs);
    fclose(ini);

    char hydrogen[400] = "";
    firstMatch(lines, "Hydrogen-Constrain[%*[^]]]=%399[^\n]", hydrogen);
    firstMatch(lines, "UseNewRingNomenclature=%d", &useNewRingNomenclature);
    firstMatch(lines, "qdlexp=%d", &qdlexp);
    firstMatch(lines, "einfach_meso=%lf", &einfachMeso);
    firstMatch(lines, "meso_zweifach=%lf", &mesoZweifach);
    firstMatch(lines, "zweifach_dreifach=%lf", &zweifachDreifach);
    const std::pair<const char*, double> thresholds[] = {
        {"einfach_meso", einfachMeso}, {"meso_zweifach", mesoZweifach}, {"zweifach_dreifach", zweifachDreifach}};
    for (const auto& threshold : thresholds)
        requireNumbers(&threshold.second, 1, openedAs, std::string("the value of ") + threshold.first);
    firstMatch(lines, "achieve_neutrality[0-3]=%d", &achieveNeutrality);
    firstMatch(lines, "DABA_PATH=%379s", databasePath);
    firstMatch(lines, "Ions=%d", &ions);
    char inputType[80] = "";
    firstMatch(lines, "Inputtype[XD|MOPRO]=%79s", inputType);
    inputFile[0] = '\0';
    firstMatch(lines, "Inputfile(empty for XD)=%399[^\n]", inputFile);
    firstMatch(lines, "Path_to_mopro.tab=%511[^\n]", moproTabPath);

    if (std::strcmp(hydrogen, "riding") == 0 || std::strcmp(hydrogen, "Uiso") == 0 ||
        std::strcmp(hydrogen, "both") == 0)
        std::strcpy(hydrogenConstrain, hydrogen);
    else
        std::strcpy(hydrogenConstrain, "none");
    uisoConstrain = std::strcmp(hydrogenConstrain, "Uiso") == 0 || std::strcmp(hydrogenConstrain, "both") == 0;
    ridingConstrain =
        std::strcmp(hydrogenConstrain, "riding") == 0 || std::strcmp(hydrogenConstrain, "both") == 0;
    if (std::strcmp(inputType, "MOPRO") == 0) moproInput = 1;
    selectCrystalInput(*this, inputType);

    writeIni();
}

void Quandrel::writeIni() {
    FILE* f = fopen("example4qdltool.ini", "wt");
    if (f == nullptr) return;
    fprintf(f, "einfach_meso=%f\n", einfachMeso);
    fprintf(f, "meso_zweifach=%f\n", mesoZweifach);
    fprintf(f, "zweifach_dreifach=%f\n", zweifachDreifach);
    fprintf(f, "DABA_PATH=%s\n", databasePath);
    fprintf(f, "achieve_neutrality[0-3]=%d\n", achieveNeutrality);
    fprintf(f, "qdlexp=%d\n", qdlexp);
    fprintf(f, "Ions=%d\n", ions);
    fprintf(f, "UseNewRingNomenclature=%d\n", useNewRingNomenclature);
    fprintf(f, "Hydrogen-Constrain[Uiso|riding|both|none]=%s\n", hydrogenConstrain);
    const char* const crystalKinds[] = {"XD", "CIF", "SHELX"};
    fprintf(f, "Inputtype[XD|MOPRO]=%s\n",
            crystalInput == 1 || crystalInput == 2 ? crystalKinds[crystalInput] : moproInput != 0 ? "MOPRO" : "XD");
    fprintf(f, "Inputfile(empty for XD)=%s\n", inputFile);
    fprintf(f, "Path_to_mopro.tab=%s\n", moproTabPath);
    fclose(f);
    // reference output: "succesfully"
    fprintf(stderr, "'example4qdltool.ini' succesfully written.\n");
}
