// What an import did with its entries, and the status line that says it.
#pragma once

#include "core/bookmark_record.h"

namespace zt {

// A count of bookmarks by module, naming the module while there is one.
struct ModuleCount {
    unsigned count;
    char module[kModuleFieldSize];
    bool severalModules;

    void Add(const char* moduleName);
};

constexpr unsigned kPassedOverReasons = 4;

struct ImportCounts {
    unsigned bookmarks;   // made or updated
    unsigned names;       // labels that named a bookmark
    unsigned labels;      // labels that became the debugger's
    unsigned comments;
    ModuleCount otherBuild;   // placed by offset, disabled: their module is another build
    ModuleCount found;        // of another build, found by their code pattern
    unsigned foundDisabled;   // of those, disabled: the instruction there is another
    unsigned notFound;        // of another build, their pattern not found
    unsigned ambiguous;       // of another build, their pattern found more than once
    unsigned noPattern;       // of another build, without a pattern where the list makes them
    unsigned notSearched;     // of another build, their pattern not searched (time or size limit, or changed since)
    unsigned fallback;        // entries placed in the module of the shown block instead of their own
    // Skipped, by reason.
    unsigned inNoModule, notLoaded, notUnique, outside, noBookmark, notStored;
    // What the reader passed over, by its own reasons.
    struct PassedOver {
        const char* why;
        unsigned count;
    } passedOver[kPassedOverReasons];
    unsigned passedOverOther;   // of reasons beyond those
    const char* undoFailure;    // why the import cannot be undone; null: it can
};

struct ImportOptions;

// "Zentrilo: ... imported, ...!" in the status bar.
void FlashImportOutcome(const ImportCounts& counts, const ImportOptions& options);

}  // namespace zt
