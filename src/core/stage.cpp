#include "stage.h"

#include <exception>
#include <vector>

namespace {

// Names are kept as texts of their own, so the banner can name a stage after its object
// is gone. The bottom entry is the main program.
std::vector<std::string>& stack() {
    static std::vector<std::string> names{"main"};
    return names;
}

}  // namespace

Stage::Stage(const char* name) : depth_(stack().size()), unwinding_(std::uncaught_exceptions()) {
    stack().emplace_back(name);
}

Stage::~Stage() {
    // A stage left by a failure stays on top: the signal handler and the banner name it.
    if (std::uncaught_exceptions() == unwinding_ && stack().size() > depth_) stack().resize(depth_);
}

const char* currentStage() { return stack().back().c_str(); }

void resetStages() { stack().resize(1); }
