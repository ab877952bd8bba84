#include <windows.h>

#include <cstring>

#include "core/text.h"
#include "exchange/common/status_text.h"
#include "exchange/import/import_counts.h"
#include "exchange/import/import_run.h"
#include "host/host.h"

namespace zt {

void ModuleCount::Add(const char* moduleName) {
    if (count++ == 0)
        CopyText(module, moduleName);
    else if (lstrcmpiA(module, moduleName) != 0)
        severalModules = true;
}

void FlashImportOutcome(const ImportCounts& counts, const ImportOptions& options) {
    StatusText text = "";
    if (options.countsNames)
        AppendText(text, "Zentrilo: %u bookmarks, %u names, %u labels, %u comments imported", counts.bookmarks,
                   counts.names, counts.labels, counts.comments);
    else
        AppendText(text, "Zentrilo: %u bookmarks imported", counts.bookmarks);
    if (counts.fallback && options.fallbackNote) AppendText(text, ", %u %s", counts.fallback, options.fallbackNote);
    const ModuleCount& other = counts.otherBuild;
    if (other.count && other.severalModules)
        AppendText(text, ", %u from other builds of their modules (disabled)", other.count);
    else if (other.count)
        AppendText(text, ", %u from another build of %s (disabled)", other.count, other.module);
    const ModuleCount& found = counts.found;
    if (found.count) {
        if (found.severalModules)
            AppendText(text, ", %u found in the new builds of their modules", found.count);
        else
            AppendText(text, ", %u found in the new build of %s", found.count, found.module);
        if (counts.foundDisabled) AppendText(text, " (%u disabled, another instruction)", counts.foundDisabled);
    }
    if (counts.notFound) AppendText(text, ", %u not found", counts.notFound);
    if (counts.ambiguous) AppendText(text, ", %u ambiguous", counts.ambiguous);
    if (counts.notSearched) AppendText(text, ", %u not searched (time or size limit)", counts.notSearched);
    if (counts.noPattern) AppendText(text, ", %u without a code pattern", counts.noPattern);
    CountedReason reasons[6 + kPassedOverReasons + 1] = {{counts.inNoModule, "in no module"},
                                                         {counts.notLoaded, "module not loaded"},
                                                         {counts.notUnique, "module name not unique"},
                                                         {counts.outside, "outside the module"},
                                                         {counts.noBookmark, "label without bookmark"},
                                                         {counts.notStored, "not stored"}};
    unsigned reasonCount = 6;
    for (const ImportCounts::PassedOver& passed : counts.passedOver)
        if (passed.why) reasons[reasonCount++] = {passed.count, passed.why};
    if (counts.passedOverOther) reasons[reasonCount++] = {counts.passedOverOther, "other"};
    AppendSkipped(text, reasons, reasonCount);
    if (counts.undoFailure) AppendText(text, "; it cannot be undone, %s", counts.undoFailure);
    HostFlash("%s!", text);
}

}  // namespace zt
