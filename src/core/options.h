// Every switch and settings key of a run with its default, in one value. The main program
// fills it once, from the command line and then the settings file; the stages only read it.
#pragma once

#include <optional>
#include <string>

struct Options {
    // ---- command line ----
    std::string settingsPath = "qdltool.ini";  // -INIPfad
    std::string inputSwitch;                   // -input: the structure file, whatever the settings say
    std::string block;                         // -block: the data block of a CIF
    std::optional<std::string> databaseSwitch; // -DBPfad: the database, whatever DABA_PATH says
    int findSymm = 0;                          // 1: -findSymm, the bond-axis symmetry analysis alone
    double symmTol = 0.01;                     // its tolerance (A)
    double planaris = 0.8;                     // -planar: planarity threshold of the ring perception
    int symmBonds = 0;                         // 1: -symmBonds, complete molecules across symmetry
    int asymOnly = 0;                          // 1: -asymOnly, perceive the input atoms alone
    std::string atomElement;                   // -atom: print this element's spherical atom and stop
    bool ldaFunctional = false;                // -functional LDA (else PBE): spherical atoms
    bool relativistic = true;                  // -nonrelativistic clears it: spherical atoms without ZORA
    std::string wavefunctionDir;               // -wavefunctions: Slater-type orbital tables instead
    std::string fcalcFile;                     // -fcalc: structure factors of the model as read, then stop
    std::string hklFile;                       // -hkl: after the transfer, structure factors and .tsc
    std::string radialFile;                    // -radial: deformation radial exponents per element

    // ---- settings file (qdltool.ini; -DBPfad overrides DABA_PATH) ----
    double einfachMeso = 0.0847;       // einfach_meso=: single / mesomeric bond boundary
    double mesoZweifach = 0.184;       // meso_zweifach=: mesomeric / double
    double zweifachDreifach = 0.27;    // zweifach_dreifach=: double / triple
    int qdlexp = 1;                    // qdlexp=: also write xd.mas.HasSameSymm
    int ions = 0;                      // Ions=
    int useNewRingNomenclature = 1;    // UseNewRingNomenclature=
    int achieveNeutrality = 0;         // achieve_neutrality[0-3]=
    char databasePath[380] = "/user/tarven/Datenbank/DABA.txt";  // DABA_PATH=
    char hydrogenConstrain[400] = "none";  // Hydrogen-Constrain[Uiso|riding|both|none]=
    bool uisoConstrain = false;        // "Uiso" or "both"
    bool ridingConstrain = false;      // "riding" or "both"
    int moproInput = 0;                // Inputtype[XD|MOPRO]=MOPRO
    int crystalInput = 0;              // 1: a CIF, 2: a SHELX .res/.ins file (Inputtype= or -input)
    char inputFile[400] = "";          // Inputfile(empty for XD)=, or the -input file
    char moproTabPath[512] = "";       // Path_to_mopro.tab=
    int metalBonds = -1;               // MetalBonds[0|1]=; -1: not set (on for CIF and SHELX input)

    // Whether metal-ligand pairs are bonded by coordination radii as well.
    bool metalBondsOn() const { return metalBonds > 0 || (metalBonds < 0 && crystalInput != 0); }
};
