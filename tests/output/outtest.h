// Helpers of the writer tests: nodes and fields set by hand, captured streams.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <initializer_list>
#include <string>

#include "testutil.h"

namespace outtest {

// Sets the neighbours of atom i, first neighbour first.
inline void connect(Quandrel& q, int i, std::initializer_list<int> neighbours) {
    if (q.knopf.size() < static_cast<std::size_t>(q.nAtoms)) q.knopf.resize(static_cast<std::size_t>(q.nAtoms));
    Quandrel::Knopf& node = q.knopf[static_cast<std::size_t>(i)];
    node = Quandrel::Knopf();
    for (int nb : neighbours) node.nachbar[node.anzahl++] = nb;
}

inline void name(Quandrel& q, int i, const std::string& text) {
    std::snprintf(q.quandrelName[i], NAME_CAP, "%s", text.c_str());
}

inline void setU(AtomRecord& a, double u11, double u22, double u33, double u12 = 0, double u13 = 0, double u23 = 0) {
    const double u[6] = {u11, u22, u33, u12, u13, u23};
    for (int k = 0; k < 6; ++k) a.u[k] = u[k];
}

// What a step wrote to the standard streams and the log.
struct Streams {
    std::string out, err, log;
};

template <class Step>
Streams capture(Quandrel& q, Step step) {
    std::fflush(q.logFile);
    const std::string before = slurp("Quandrele.log");
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    step();
    std::fflush(nullptr);
    Streams s;
    s.out = testing::internal::GetCapturedStdout();
    s.err = testing::internal::GetCapturedStderr();
    std::fflush(q.logFile);
    s.log = slurp("Quandrele.log").substr(before.size());
    return s;
}

}  // namespace outtest
