// Naming and the whole of perception: the quandrel name of every atom, its canonical
// order, stereocentres, the override file, and perceive, which runs the steps in order.
#pragma once

#include <cstdio>
#include <string>
#include <unordered_map>

#include "../chem/perception.h"

// Perceives the chemistry of the structure as read: completes molecules across symmetry
// where the options ask for it, then bonds, nodes, rings, names, chirality and the override
// file (its questions answered from answers), and with -findSymm the bond-axis analysis.
// Writes the listing to standard output and to out and log.
Perception perceive(const Structure& s, const Options& opt, FILE* out, FILE* log, FILE* answers = stdin);

// The quandrel name of every site from the first bondCount bonds.
void getNames(const PerceptionRun& run, int bondCount);
// Brings atom i's name into canonical order. A name's canonical form depends on the name
// alone: with sorted, forms found before are taken from there and new ones kept there.
void sortQuandrel(const PerceptionRun& run, int atomIndex,
                  std::unordered_map<std::string, std::string>* sorted = nullptr);
// Canonical names, the stereocentre prefixes and the listing of every input atom's name.
int asymm(const PerceptionRun& run);
// "Quandrele.in": names given by the user, each change confirmed from answers.
void readOverrides(const PerceptionRun& run, FILE* answers);
