// Settings file: keys, first match, comments, defaults, the example file, bad input.
#include <gtest/gtest.h>

#include <cstring>

#include "app/options.h"
#include "testutil.h"

namespace {

// Reads the given settings text with a fresh object in a scratch directory.
std::unique_ptr<Options> readSettings(const ScratchDir& dir, const std::string& text) {
    dir.write("my.ini", text);
    auto options = std::make_unique<Options>();
    options->settingsPath = "my.ini";
    readSettingsFile(*options);
    return options;
}

}  // namespace

TEST(Settings, OnlyCommentLinesKeepEveryDefault) {
    ScratchDir dir;
    auto q = readSettings(dir, "! nothing here\n!einfach_meso=0.5\n");
    EXPECT_DOUBLE_EQ(q->einfachMeso, 0.0847);
    EXPECT_DOUBLE_EQ(q->mesoZweifach, 0.184);
    EXPECT_DOUBLE_EQ(q->zweifachDreifach, 0.27);
    EXPECT_STREQ(q->databasePath, "/user/tarven/Datenbank/DABA.txt");
    EXPECT_EQ(q->achieveNeutrality, 0);
    EXPECT_EQ(q->qdlexp, 1);
    EXPECT_EQ(q->ions, 0);
    EXPECT_EQ(q->useNewRingNomenclature, 1);
    EXPECT_STREQ(q->hydrogenConstrain, "none");
    EXPECT_FALSE(q->uisoConstrain);
    EXPECT_FALSE(q->ridingConstrain);
    EXPECT_EQ(q->moproInput, 0);
    EXPECT_STREQ(q->inputFile, "");
    EXPECT_STREQ(q->moproTabPath, "");
    EXPECT_EQ(dir.read("example4qdltool.ini"),
              "einfach_meso=0.084700\n"
              "meso_zweifach=0.184000\n"
              "zweifach_dreifach=0.270000\n"
              "DABA_PATH=/user/tarven/Datenbank/DABA.txt\n"
              "achieve_neutrality[0-3]=0\n"
              "qdlexp=1\n"
              "Ions=0\n"
              "UseNewRingNomenclature=1\n"
              "Hydrogen-Constrain[Uiso|riding|both|none]=none\n"
              "Inputtype[XD|MOPRO]=XD\n"
              "Inputfile(empty for XD)=\n"
              "Path_to_mopro.tab=\n");
}

TEST(Settings, EveryKeyIsReadAndWrittenBack) {
    ScratchDir dir;
    auto q = readSettings(dir,
                          "einfach_meso=0.1\nmeso_zweifach=0.2\nzweifach_dreifach=0.3\n"
                          "DABA_PATH=/data/my db.txt\nachieve_neutrality[0-3]=2\nqdlexp=0\nIons=1\n"
                          "UseNewRingNomenclature=0\nHydrogen-Constrain[whatever]=riding\n"
                          "Inputtype[XD|MOPRO]=MOPRO\nInputfile(empty for XD)=my file.01 \n"
                          "Path_to_mopro.tab=/opt/mo pro/mopro.tab\n");
    EXPECT_DOUBLE_EQ(q->einfachMeso, 0.1);
    EXPECT_DOUBLE_EQ(q->mesoZweifach, 0.2);
    EXPECT_DOUBLE_EQ(q->zweifachDreifach, 0.3);
    EXPECT_STREQ(q->databasePath, "/data/my") << "the path ends at the first blank";
    EXPECT_EQ(q->achieveNeutrality, 2);
    EXPECT_EQ(q->qdlexp, 0);
    EXPECT_EQ(q->ions, 1);
    EXPECT_EQ(q->useNewRingNomenclature, 0);
    EXPECT_STREQ(q->hydrogenConstrain, "riding");
    EXPECT_FALSE(q->uisoConstrain);
    EXPECT_TRUE(q->ridingConstrain);
    EXPECT_EQ(q->moproInput, 1);
    EXPECT_STREQ(q->inputFile, "my file.01 ") << "the rest of the line, blanks included";
    EXPECT_STREQ(q->moproTabPath, "/opt/mo pro/mopro.tab");
    std::string example = dir.read("example4qdltool.ini");
    EXPECT_NE(example.find("einfach_meso=0.100000\n"), std::string::npos);
    EXPECT_NE(example.find("Inputtype[XD|MOPRO]=MOPRO\n"), std::string::npos);
    EXPECT_NE(example.find("Hydrogen-Constrain[Uiso|riding|both|none]=riding\n"), std::string::npos);
    EXPECT_NE(example.find("Inputfile(empty for XD)=my file.01 \n"), std::string::npos);
}

TEST(Settings, FirstMatchingLineWinsAndCommentedKeysCountForNothing) {
    ScratchDir dir;
    auto q = readSettings(dir, "!einfach_meso=0.5\nqdlexp=7\neinfach_meso=0.09\nqdlexp=3\neinfach_meso=0.2\n");
    EXPECT_EQ(q->qdlexp, 7);
    EXPECT_DOUBLE_EQ(q->einfachMeso, 0.09);
}

TEST(Settings, MalformedValueFallsThroughToALaterLineOrTheDefault) {
    ScratchDir dir;
    auto q = readSettings(dir, "einfach_meso=abc\nmeso_zweifach=x\neinfach_meso=0.11\n");
    EXPECT_DOUBLE_EQ(q->einfachMeso, 0.11);
    EXPECT_DOUBLE_EQ(q->mesoZweifach, 0.184);
}

TEST(Settings, HydrogenConstraintValuesAreExactAndCaseSensitive) {
    struct Row {
        const char* line;
        const char* value;
        bool uiso, riding;
    } rows[] = {
        {"Hydrogen-Constrain[Uiso|riding|both|none]=both\n", "both", true, true},
        {"Hydrogen-Constrain[x]=Both\n", "none", false, false},
        {"Hydrogen-Constrain[]=Uiso\n", "none", false, false},  // empty bracket text matches nothing
        {"Hydrogen-Constrain[a]=Uiso\n", "Uiso", true, false},
        {"Hydrogen-Constrain[a]=riding \n", "none", false, false},  // trailing blank
        {"Hydrogen-Constrain[a]=none\n", "none", false, false},
    };
    for (const Row& r : rows) {
        ScratchDir dir;
        auto q = readSettings(dir, r.line);
        EXPECT_STREQ(q->hydrogenConstrain, r.value) << r.line;
        EXPECT_EQ(q->uisoConstrain, r.uiso) << r.line;
        EXPECT_EQ(q->ridingConstrain, r.riding) << r.line;
    }
}

// MetalBonds[0|1]= sets the metal-ligand rule; unset, it follows the kind of input; another
// value warns and keeps the default. The key never enters the example file.
TEST(Settings, MetalBondsKeyAndItsDefaultByInput) {
    struct Row {
        const char* text;
        int value;
        bool on;
        bool warned;
    } rows[] = {
        {"", -1, false, false},
        {"Inputtype[XD|MOPRO]=CIF\nInputfile(empty for XD)=a.cif\n", -1, true, false},
        {"Inputtype[XD|MOPRO]=SHELX\nInputfile(empty for XD)=a.res\n", -1, true, false},
        {"Inputtype[XD|MOPRO]=MOPRO\n", -1, false, false},
        {"MetalBonds[0|1]=1\n", 1, true, false},
        {"MetalBonds[0|1]=0\nInputtype[XD|MOPRO]=CIF\nInputfile(empty for XD)=a.cif\n", 0, false, false},
        {"MetalBonds[0|1]=yes\n", -1, false, true},
        {"MetalBonds[0|1]=2\nMetalBonds[0|1]=1\n", -1, false, true},  // the first line wins
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.text);
        ScratchDir dir;
        std::unique_ptr<Options> o;
        const std::string err = captureStderr([&] { o = readSettings(dir, r.text); });
        EXPECT_EQ(o->metalBonds, r.value);
        EXPECT_EQ(o->metalBondsOn(), r.on);
        EXPECT_EQ(countOf(err, "is neither 0 nor 1"), r.warned ? 1 : 0) << err;
        EXPECT_EQ(dir.read("example4qdltool.ini").find("MetalBonds"), std::string::npos);
    }
}

TEST(Settings, OnlyUpperCaseMoproSelectsTheMoproReader) {
    ScratchDir dir;
    EXPECT_EQ(readSettings(dir, "Inputtype[XD|MOPRO]=mopro\n")->moproInput, 0);
    EXPECT_EQ(readSettings(dir, "Inputtype[XD|MOPRO]=MOPRO\n")->moproInput, 1);
}

TEST(Settings, CarriageReturnsAtLineEndsAreDropped) {
    ScratchDir dir;
    auto q = readSettings(dir, "DABA_PATH=db.txt\r\nHydrogen-Constrain[a]=both\r\nInputfile(empty for XD)=a b\r\n");
    EXPECT_STREQ(q->databasePath, "db.txt");
    EXPECT_STREQ(q->hydrogenConstrain, "both");
    EXPECT_STREQ(q->inputFile, "a b");
}

TEST(Settings, OverlongLineIsIgnoredWithAWarning) {
    ScratchDir dir;
    std::string longPath(200, 'p');
    std::unique_ptr<Options> q;
    const std::string err =
        captureStderr([&] { q = readSettings(dir, "DABA_PATH=" + longPath + "\nDABA_PATH=short.txt\n"); });
    EXPECT_STREQ(q->databasePath, "short.txt");
    EXPECT_NE(err.find("Line 1 of my.ini is longer than 127 characters and is ignored."), std::string::npos);
}

TEST(Settings, EmptyAndGarbageFilesKeepTheDefaults) {
    ScratchDir dir;
    auto empty = readSettings(dir, "");
    EXPECT_DOUBLE_EQ(empty->einfachMeso, 0.0847);
    std::string garbage;
    for (int i = 0; i < 4000; ++i) garbage.push_back(static_cast<char>((i * 37 + 11) % 256));
    garbage += std::string("\0qdlexp=5\n", 10);
    auto q = readSettings(dir, garbage);
    EXPECT_EQ(q->qdlexp, 1);
    EXPECT_STREQ(q->databasePath, "/user/tarven/Datenbank/DABA.txt");
}

// ---------------------------------------------------------------------------------
// Command line
// ---------------------------------------------------------------------------------

namespace {

CommandLine parse(std::vector<const char*> args) {
    args.insert(args.begin(), "quandreltool");
    return parseCommandLine(static_cast<int>(args.size()), args.data());
}

}  // namespace

TEST(CommandLine, SwitchesAndTheirValues) {
    struct Row {
        std::vector<const char*> args;
        double symmTol;
        int findSymm;
        double planaris;
        const char* database;  // nullptr: no -DBPfad
        int symmBonds, asymOnly;
    } rows[] = {
        {{}, 0.01, 0, 0.8, nullptr, 0, 0},
        {{"-findSymm"}, 0.01, 1, 0.8, nullptr, 0, 0},
        {{"-findSymm", "0.05"}, 0.05, 1, 0.8, nullptr, 0, 0},
        {{"-findSymm", "-planar", "0.9"}, 0.01, 1, 0.9, nullptr, 0, 0},
        {{"-findSymm", "-DBPfad", "db.txt"}, 0.01, 1, 0.8, "db.txt", 0, 0},
        {{"-findSymm", "abc"}, 0.01, 1, 0.8, nullptr, 0, 0},
        {{"-planar"}, 0.01, 0, 0.8, nullptr, 0, 0},
        {{"-DBPfad"}, 0.01, 0, 0.8, nullptr, 0, 0},  // a value-less last switch takes its default
        {{"-symmBonds", "-asymOnly", "-DBPfad", "a b"}, 0.01, 0, 0.8, "a b", 1, 1},
    };
    for (const Row& r : rows) {
        const CommandLine c = parse(r.args);
        std::string shown;
        for (const char* a : r.args) shown += std::string(a) + " ";
        EXPECT_EQ(c.action, Action::Run) << shown;
        EXPECT_DOUBLE_EQ(c.options.symmTol, r.symmTol) << shown;
        EXPECT_EQ(c.options.findSymm, r.findSymm) << shown;
        EXPECT_DOUBLE_EQ(c.options.planaris, r.planaris) << shown;
        EXPECT_EQ(c.options.databaseSwitch.has_value(), r.database != nullptr) << shown;
        if (r.database != nullptr && c.options.databaseSwitch) {
            EXPECT_EQ(*c.options.databaseSwitch, r.database);
        }
        EXPECT_EQ(c.options.symmBonds, r.symmBonds) << shown;
        EXPECT_EQ(c.options.asymOnly, r.asymOnly) << shown;
    }
}

TEST(CommandLine, VersionAndHelpWinAndTooLongValuesStop) {
    EXPECT_EQ(parse({"-planar", "0.5", "-Version"}).action, Action::Version);
    EXPECT_EQ(parse({"--help", "-Version"}).action, Action::Help);
    const std::string longValue(400, 'x');
    for (const char* sw : {"-INIPfad", "-DBPfad", "-input", "-block"}) {
        const Stopped s = failureOf([&] { parse({sw, longValue.c_str()}); });
        EXPECT_TRUE(s.stopped) << sw;
        EXPECT_NE(s.message.find(std::string("The value of ") + sw + " is longer than"), std::string::npos) << s.message;
    }
    const Stopped s = failureOf([&] { parse({"-block"}); });
    EXPECT_EQ(s.message, "The switch -block needs a value.\n");
}

TEST(Settings, TheDatabaseSwitchOverridesTheFileButNotTheExample) {
    ScratchDir dir;
    dir.write("qdltool.ini", "DABA_PATH=file.txt\n");
    Options o;
    o.databaseSwitch = "switch.txt";
    captureStderr([&] { readSettingsFile(o); });
    EXPECT_STREQ(o.databasePath, "switch.txt");
    EXPECT_NE(dir.read("example4qdltool.ini").find("DABA_PATH=file.txt\n"), std::string::npos);
}

TEST(CommandLine, UnknownSwitchesAndNonNumericValuesWarnAndTheRunGoesOn) {
    struct Row {
        std::vector<const char*> args;
        const char* warning;  // nullptr: no warning at all
        double planaris;
        int symmBonds;
    } rows[] = {
        {{"-symbonds"}, "the switch \"-symbonds\" is unknown", 0.8, 0},
        {{"--symmBonds", "-asymOnly"}, "the switch \"--symmBonds\" is unknown", 0.8, 0},
        {{"-findsymm", "0.1"}, "the switch \"-findsymm\" is unknown", 0.8, 0},
        {{"-findSymm", "abc"}, "the argument \"abc\" belongs to no switch", 0.8, 0},
        {{"-planar", "abc"}, "the value \"abc\" of -planar is not a number", 0.8, 0},
        {{"-planar", "-symmBonds"}, "-planar is followed by no number", 0.8, 1},
        {{"-planar", "0.7", "-symmBonds", "-DBPfad", "-x.txt"}, nullptr, 0.7, 1},
        {{"-findSymm", "0.05", "-input", "a.cif", "-block", "b", "-planar"}, nullptr, 0.8, 0},
        {{"-INIPfad", "s.ini", "-nonrelativistic", "-functional", "LDA"}, nullptr, 0.8, 0},
    };
    for (const Row& r : rows) {
        std::string shown;
        for (const char* a : r.args) shown += std::string(a) + " ";
        CommandLine c;
        const std::string err = captureStderr([&] { c = parse(r.args); });
        if (r.warning == nullptr) {
            EXPECT_EQ(err, "") << shown;
        } else {
            EXPECT_NE(err.find(std::string("Warning: ") + r.warning), std::string::npos) << shown << err;
            EXPECT_EQ(countOf(err, "Warning:"), 1) << shown << err;
        }
        EXPECT_EQ(c.action, Action::Run) << shown;
        EXPECT_DOUBLE_EQ(c.options.planaris, r.planaris) << shown;
        EXPECT_EQ(c.options.symmBonds, r.symmBonds) << shown;
    }
}

TEST(Settings, ACrystalInputTypeWithoutItsFileStopsNamingTheSettingsFile) {
    for (const char* kind : {"CIF", "SHELX"}) {
        ScratchDir dir;
        EXPECT_TRUE(stopsWith([&] { readSettings(dir, std::string("Inputtype[XD|MOPRO]=") + kind + "\n"); }, 1,
                              std::string("Inputtype ") + kind +
                                  " needs the file named by \"Inputfile(empty for XD)=\" or by the switch -input.\n"
                                  "The settings file my.ini names none.\n"))
            << kind;
    }
}
