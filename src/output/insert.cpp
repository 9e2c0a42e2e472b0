// Merging of the fragment files "resetbond.txt" and "H-Uiso-constrain.txt" into the new
// master files, behind their "RESET" and "!CON " lines; the fragments are removed after.
#include <cstdio>
#include <cstring>
#include <string>

#include "../database/transfer.h"
#include "../core/failure.h"
#include "writer.h"

namespace {

// Copies the master file into the temporary file in blocks; false after a read or write error.
bool copyBlocks(FILE* from, FILE* to) {
    char block[1024];
    std::size_t n;
    while ((n = fread(block, 1, sizeof block, from)) > 0) {
        if (fwrite(block, 1, n, to) != n) {
            reportSystemError("In insert files...");
            return false;
        }
    }
    if (ferror(from)) {
        reportSystemError("In insert files...");
        return false;
    }
    return true;
}

// A file the merge cannot open: the message and the reason, as perror gives it.
void cannotMerge(WarningLog& warnings, const char* file) {
    std::string text = std::string("In insert files: can't open ") + file + systemErrorText(" ");
    text.pop_back();
    warnings.warnLine("master file without constraints", {}, text);
}

// Copies what is left of a fragment file.
void copyRest(FILE* from, FILE* to) {
    char block[1024];
    std::size_t n;
    while ((n = fread(block, 1, sizeof block, from)) > 0) fwrite(block, 1, n, to);
}

// Merges the fragments into one master file. False when the master file stays as it was.
bool mergeInto(const char* master, bool insertConstraints, WarningLog& warnings) {
    FILE* copy = tmpfile();
    if (copy == nullptr) {
        reportSystemError("In insert files...");
        return false;
    }
    FILE* in = fopen(master, "r");
    if (in == nullptr) {
        fclose(copy);
        return false;
    }
    const bool copied = copyBlocks(in, copy);
    fclose(in);
    if (!copied) {
        warnings.warnLine("master file without constraints", {}, std::string(master) + " is left without the inserted lines.");
        fclose(copy);
        return false;
    }

    FILE* reset = fopen("resetbond.txt", "r");
    FILE* constraints = fopen("H-Uiso-constrain.txt", "r");
    if (reset == nullptr || constraints == nullptr) {
        cannotMerge(warnings, reset == nullptr ? "resetbond.txt" : "H-Uiso-constrain.txt");
        if (reset != nullptr) fclose(reset);
        if (constraints != nullptr) fclose(constraints);
        fclose(copy);
        return false;
    }
    FILE* out = fopen(master, "w");
    if (out == nullptr) {
        cannotMerge(warnings, master);
        fclose(reset);
        fclose(constraints);
        fclose(copy);
        return false;
    }

    // Markers are looked for in pieces of at most 119 characters; the fragment follows
    // the end of the line that holds its marker.
    rewind(copy);
    char piece[120];
    bool pendingReset = false, pendingConstraints = false, lineEnded = true;
    auto insertPending = [&]() {
        if (pendingReset) {
            copyRest(reset, out);
            fputc('\n', out);
        }
        if (pendingConstraints) {
            copyRest(constraints, out);
            fputc('\n', out);
        }
        pendingReset = pendingConstraints = false;
    };
    while (fgets(piece, sizeof piece, copy) != nullptr) {
        fputs(piece, out);
        const std::size_t n = std::strlen(piece);
        lineEnded = n > 0 && piece[n - 1] == '\n';
        if (std::strstr(piece, "RESET") != nullptr) pendingReset = true;
        if (insertConstraints && std::strstr(piece, "!CON ") != nullptr) pendingConstraints = true;
        if (lineEnded) insertPending();
    }
    if (pendingReset || pendingConstraints) {
        if (!lineEnded) fputc('\n', out);
        insertPending();
    }

    fclose(reset);
    fclose(constraints);
    fclose(copy);
    closeWritten(out, master);
    return true;
}

}  // namespace

int insertFiles(const TransferRecords& run) {
    // "xd.mas.HasSameSymm" only when this run wrote it: an older one is left alone.
    if (!mergeInto("xd.mas.quandreltool", true, run.warnings)) return 1;
    if (run.opt.qdlexp != 0 && !mergeInto("xd.mas.HasSameSymm", run.opt.uisoConstrain || run.opt.ridingConstrain, run.warnings)) return 1;
    remove("resetbond.txt");
    remove("H-Uiso-constrain.txt");
    return 0;
}
