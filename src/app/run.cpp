#include "run.h"

#include "options.h"

std::unique_ptr<Quandrel> openRun(const Options& options, const WarningLog& earlier) {
    std::unique_ptr<Quandrel> q(new Quandrel(options));
    q->warningLog.adopt(earlier);
    readSettingsFile(q->opt, &q->warningLog);
    q->readStructure();
    q->warningLog.adopt(q->structure.readerWarnings);
    return q;
}
