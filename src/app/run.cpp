#include "run.h"

#include "options.h"

std::unique_ptr<Quandrel> openRun(const Options& options) {
    std::unique_ptr<Quandrel> q(new Quandrel(options));
    readSettingsFile(q->opt);
    q->readStructure();
    return q;
}
