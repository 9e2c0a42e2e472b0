// How a run ends early: what the stop helpers put into the failure, which stage the error
// banner names, and what main writes for it.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <functional>
#include <new>
#include <string>

#include "core/failure.h"
#include "core/stage.h"
#include "testutil.h"

namespace {

const std::string ERROR_BANNER =
    "\n"
    " ____________________________________________________________________________________\n"
    "|The Programm ends with an Error Code! Error was in function Verknopfung              |\n"
    "|_____________________________________________________________________________________|\n";

// Runs code inside a stage of the given name, as the stages of the object do.
void inStage(const char* name, const std::function<void()>& code) {
    Stage stage(name);
    code();
}

}  // namespace

TEST(Failure, EachStopHelperGivesItsCodeBannerAndMessage) {
    ScratchDir dir;
    struct Row {
        const char* what;
        std::function<void()> stop;
        int code;
        bool banner;
        std::string message;
    } rows[] = {
        {"stopWithError", [] { stopWithError(3); }, 3, true, ""},
        {"stopWithoutBanner", [] { stopWithoutBanner(32); }, 32, false, ""},
        {"fatal", [] { fatal("Atom %s has %d bonds.", "C1", 12); }, 1, true, "Atom C1 has 12 bonds.\n"},
        {"cannotOpen", [] { errno = ENOENT; cannotOpen("'%s'", "a.01"); }, 1, true,
         "can't open 'a.01' : No such file or directory\n"},
        {"stopWithSystemError", [] { errno = EISDIR; stopWithSystemError("Writing %s failed", "x"); }, 1, true,
         "Writing x failed : Is a directory\n"},
    };
    for (const Row& row : rows) {
        const Stopped s = failureOf([&] { inStage("Verknopfung", row.stop); });
        EXPECT_TRUE(s.stopped) << row.what;
        EXPECT_EQ(s.code, row.code) << row.what;
        EXPECT_EQ(s.banner, row.banner) << row.what;
        EXPECT_EQ(s.message, row.message) << row.what;
        EXPECT_EQ(s.stage, "Verknopfung") << row.what << ": the stage that stopped, though it has been left";
    }
}

TEST(Failure, ANestedStageGivesItsCallersNameBackOnlyWhenItEndsNormally) {
    resetStages();
    inStage("findOutNames", [] {
        inStage("FindBonds", [] { EXPECT_STREQ(currentStage(), "FindBonds"); });
        EXPECT_STREQ(currentStage(), "findOutNames") << "the caller's name after a nested stage";
    });
    EXPECT_STREQ(currentStage(), "main");
    try {
        inStage("readMas", [] { inStage("getOZ", [] {}); throw std::bad_alloc(); });
    } catch (const std::bad_alloc&) {
    }
    EXPECT_STREQ(currentStage(), "readMas") << "main names the stage that ran out of memory";
    resetStages();
}

TEST(Failure, RunningOutOfMemoryIsReportedWithTheInnermostNote) {
    ScratchDir dir;
    struct Row {
        const char* note;  // nullptr: no note
        std::string message;
    } rows[] = {
        {"knopf", "knopf: Cannot allocate memory\n"},
        {"Bindungen ", "Bindungen : Cannot allocate memory\n"},
        {"Memory problem xdinp!  ", "Memory problem xdinp!  : Cannot allocate memory\n"},
        {nullptr, "Memory problem: Cannot allocate memory\n"},
    };
    for (const Row& row : rows) {
        try {
            inStage("Verknopfung", [&] {
                if (row.note == nullptr) throw std::bad_alloc();
                MemoryNote outer("outer");
                MemoryNote note(row.note);
                throw std::bad_alloc();
            });
        } catch (const std::bad_alloc&) {
            const Failure f = outOfMemory();
            EXPECT_EQ(f.code(), 1);
            EXPECT_TRUE(f.banner());
            EXPECT_EQ(f.message(), row.message);
            EXPECT_EQ(f.stage(), "Verknopfung");
        }
    }
    // a note whose allocation succeeded is gone
    { MemoryNote done("knopf"); }
    EXPECT_EQ(outOfMemory().message(), "Memory problem: Cannot allocate memory\n");
}

TEST(Failure, MainWritesTheMessageThenTheErrorBannerNamingTheStage) {
    ScratchDir dir;
    struct Row {
        int code;
        bool banner;
        std::string message, written;
    } rows[] = {
        {1, true, "can't open xd.mas : No such file or directory\n",
         "can't open xd.mas : No such file or directory\n" + ERROR_BANNER},
        {3, true, "", ERROR_BANNER},
        {32, false, "", ""},
    };
    for (const Row& row : rows) {
        std::string written;
        inStage("Verknopfung", [&] {
            const Failure failure(row.code, row.banner, row.message);
            testing::internal::CaptureStderr();
            reportFailure(failure);
            written = testing::internal::GetCapturedStderr();
        });
        EXPECT_EQ(written, row.written);
    }
}
