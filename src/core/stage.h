// The stage the run is in, for the error banner of a failure. Stages nest: a stage puts
// its name on a stack while it runs and takes it off when it ends normally, so a nested
// stage gives its caller's name back. A stage left by a failure leaves its name on top:
// the failure has taken it already, and main names it in the error banner.
#pragma once

#include <string>

class Stage {
public:
    explicit Stage(const char* name);
    ~Stage();
    Stage(const Stage&) = delete;
    Stage& operator=(const Stage&) = delete;

private:
    std::size_t depth_;  // the stack's height below this stage
    int unwinding_;
};

// The innermost stage running: "main" outside every stage.
const char* currentStage();

// Back to "main" alone; for tests that leave stages by failures on purpose.
void resetStages();
