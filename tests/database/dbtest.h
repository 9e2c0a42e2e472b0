// Helpers of the database tests: entries written as text and a run of the stage with its
// streams captured.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <initializer_list>
#include <string>

#include "database/database.h"
#include "core/populations.h"
#include "testutil.h"

namespace dbtest {

// One database entry: name line, 26 populations (Pv = pv, then 0.01, 0.02, ...), the
// Symmetrie: and KS: lines and, when given, the kappa line.
inline std::string entry(const std::string& name, const std::string& symmetry, const std::string& ks,
                         const std::string& kappa = "", double pv = 4.0) {
    std::string text = name + "\n";
    double p[N_POPULATIONS];
    for (int k = 0; k < N_POPULATIONS; ++k) p[k] = k == 0 ? pv : 0.01 * k;
    appendPopulationRows(text, p, N_POPULATIONS, "%9.4f", " ");
    text += "Symmetrie: " + symmetry + "\n" + ks + "\n";
    if (!kappa.empty()) text += kappa + "\n";
    return text;
}

struct StageRun {
    std::string out, err, log, descent, symmetry, resetbond;
};

// Writes the database, runs the stage on q in the current (scratch) directory and
// collects what it wrote.
inline StageRun runStage(Quandrel& q, const std::string& database) {
    {
        FILE* f = std::fopen("DABA.txt", "wb");
        std::fwrite(database.data(), 1, database.size(), f);
        std::fclose(f);
    }
    std::snprintf(q.opt.databasePath, sizeof q.opt.databasePath, "DABA.txt");
    if (q.perception.knopf.size() < static_cast<std::size_t>(q.structure.nAtoms)) q.perception.knopf.resize(static_cast<std::size_t>(q.structure.nAtoms));
    long logStart = std::ftell(q.logFile);
    StageRun run;
    const Streams streams = capture([&] { q.findInDataBase(); });
    run.out = streams.out;
    run.err = streams.err;
    run.log = slurp("Quandrele.log").substr(static_cast<std::size_t>(logStart));
    run.descent = slurp("Quandrele.descent");
    run.symmetry = slurp("symmetry.txt");
    run.resetbond = slurp("resetbond.txt");
    return run;
}

// The table lines of the coordinate-system table in the log (between header and END ATOM).
inline std::vector<std::string> tableLines(const std::string& log) {
    std::vector<std::string> lines = linesOf(log);
    std::vector<std::string> table;
    bool inside = false;
    for (const std::string& line : lines) {
        if (line == "END ATOM") break;
        if (inside) table.push_back(line);
        if (line.rfind("ATOM     ATOM0", 0) == 0) inside = true;
    }
    return table;
}

}  // namespace dbtest
