// The run report: "Quandrele.json" (the run as data, for scripts) and "Quandrele.html"
// (one self-contained page with a drawing of the structure and a table of the atoms).
// Both are written at the end of a complete run and change none of the other files.
#pragma once

#include <nlohmann/json.hpp>
#include <string>

#include "../driver/Quandrel.h"

class NameCatalogue;
struct MonopoleCorrection;

// Number of atoms the database stage did not find.
int missingAtoms(const Quandrel& q);

// One line on standard error after the database stage when atoms are missing.
void announceMissingAtoms(const Quandrel& q);

// The run as data: settings, database, atoms, dummies, bonds and molecules. Missing atoms
// carry their nearest database entries from the catalogue.
nlohmann::ordered_json runReport(Quandrel& q, NameCatalogue& catalogue, std::size_t databaseEntries,
                         const MonopoleCorrection& correction);

// The text of "Quandrele.json". Bytes that are no UTF-8 (a Latin-1 model-compound name,
// say) are replaced, not refused.
std::string jsonText(const nlohmann::ordered_json& run);

// The page, built from the run's data.
std::string reportPage(const nlohmann::ordered_json& run);

// Reads the database names, then writes "Quandrele.json" and "Quandrele.html" into the
// working directory. A file that cannot be written is reported on standard error; the
// run's other files are complete by then, so the run still ends normally.
void writeRunReport(Quandrel& q);
