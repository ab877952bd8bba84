#include "exchange/import/import_run.h"

#include <cstdio>
#include <cstring>
#include <new>

#include "core/bookmark_views.h"
#include "core/store.h"
#include "core/undo_journal.h"
#include "exchange/import/entry_apply.h"
#include "exchange/import/entry_placement.h"
#include "exchange/import/import_counts.h"
#include "exchange/list/list_patterns.h"
#include "host/host.h"

namespace zt {

namespace {

// What a pass over the file does with its entries.
enum class Step : uint8_t {
    kCheck,               // nothing: the reader checks the file, the sink notes what later passes need
    kCollect,             // collects the code patterns of entries whose module is another build
    kBookmarks,           // makes the bookmarks
    kLabelsAndComments,   // then names them and sets the comments
};

class PassSink final : public EntrySink {
public:
    PassSink(Step step, EntryPlacement& placement, ImportPatterns& patterns, ImportCounts& counts)
        : step_(step), placement_(placement), patterns_(patterns), counts_(counts) {}

    bool sawPattern() const { return sawPattern_; }
    bool sawLabelOrComment() const { return sawLabelOrComment_; }
    bool sawFileKey() const { return sawFileKey_; }
    bool applied() const { return applied_; }
    uint32_t lastApplied() const { return lastApplied_; }

    void Take(const ImportEntry& entry) override {
        const bool bookmark = entry.kind == EntryKind::kBookmark;
        // Entries are numbered alike in every pass, by their patterns.
        if (bookmark && entry.hasPattern) ++patternNumber_;
        switch (step_) {
        case Step::kCheck:
            sawPattern_ = sawPattern_ || (bookmark && entry.hasPattern);
            sawLabelOrComment_ = sawLabelOrComment_ || !bookmark;
            sawFileKey_ = sawFileKey_ || entry.moduleKey == ModuleKey::kFile;
            return;
        case Step::kCollect:
            if (bookmark && entry.hasPattern) Collect(entry);
            return;
        case Step::kBookmarks:
            if (bookmark) ApplyBookmark(entry);
            return;
        case Step::kLabelsAndComments:
            if (!bookmark) ApplyLabelOrComment(entry);
            return;
        }
    }

    // Counted once, in the pass that makes the bookmarks.
    void PassOver(const char* why) override {
        if (step_ != Step::kBookmarks) return;
        for (ImportCounts::PassedOver& passed : counts_.passedOver) {
            if (passed.why && std::strcmp(passed.why, why) != 0) continue;
            passed.why = why;
            ++passed.count;
            return;
        }
        ++counts_.passedOverOther;
    }

private:
    // False, counted by its reason, when the entry goes nowhere.
    bool Place(const ImportEntry& entry, Target& target) {
        switch (placement_.Place(entry, target)) {
        case Where::kPlaced: return true;
        case Where::kInNoModule: ++counts_.inNoModule; return false;
        case Where::kNotLoaded: ++counts_.notLoaded; return false;
        case Where::kNotUnique: ++counts_.notUnique; return false;
        case Where::kOutside: ++counts_.outside; return false;
        }
        return false;
    }

    void Collect(const ImportEntry& entry) {
        Target target;
        if (placement_.Place(entry, target) != Where::kPlaced || !target.otherBuild) return;
        if (!patterns_.Add(patternNumber_, target.moduleBase, target.moduleSize, entry.pattern, entry.offset,
                           entry.hasOldPlaces, entry.oldPlaces, entry.oldPlaceCount, entry.callers,
                           entry.callerCount, entry.targets, entry.targetCount,
                           entry.align.count ? &entry.align : nullptr, entry.exportNames))
            throw std::bad_alloc();
    }

    void ApplyBookmark(const ImportEntry& entry) {
        Target target;
        if (!Place(entry, target)) return;
        // Another build: where its code pattern is found, when it has one.
        Placement placement = Placement::kNotFound;
        uint32_t found = 0;
        const bool searched = target.otherBuild && entry.hasPattern &&
                              patterns_.Find(patternNumber_, entry.pattern, entry.offset, target.moduleBase,
                                             placement, found);
        if (searched && placement == Placement::kNotFound) {
            ++counts_.notFound;
            return;
        }
        if (searched && placement == Placement::kAmbiguous) {
            ++counts_.ambiguous;
            return;
        }
        if (searched && placement == Placement::kNotSearched) {
            ++counts_.notSearched;
            return;
        }
        if (target.otherBuild && !searched && entry.patternsMade) {
            ++counts_.noPattern;
            return;
        }
        const uint32_t address = searched ? found : target.address;
        if (!ApplyBookmarkEntry(entry, address)) {
            ++counts_.notStored;
            return;
        }
        if (searched) {
            // Found again: active when it was, and the instruction there is
            // the one recorded.
            char now[kDisassemblyFieldSize];
            SnapshotDisassembly(address, now);
            const bool same = SameInstruction(entry.original, now);
            BookmarkRecord* bookmark = FindRecord(address);
            if (!same && bookmark) SetBookmarkActive(*bookmark, 0);
            counts_.foundDisabled += !same;
            counts_.found.Add(entry.module);
        } else if (target.otherBuild) {
            if (BookmarkRecord* bookmark = FindRecord(address)) SetBookmarkActive(*bookmark, 0);
            counts_.otherBuild.Add(entry.module);
        }
        counts_.fallback += target.fallback;
        ++counts_.bookmarks;
        applied_ = true;
        lastApplied_ = address;
    }

    void ApplyLabelOrComment(const ImportEntry& entry) {
        Target target;
        if (!Place(entry, target)) return;
        if (entry.kind == EntryKind::kComment) {
            ApplyCommentEntry(entry, target.address);
            ++counts_.comments;
        } else if (ApplyLabelEntry(entry, target.address, counts_.names, counts_.labels) ==
                   LabelOutcome::kNoBookmark) {
            ++counts_.noBookmark;
            return;
        }
        counts_.fallback += target.fallback;
    }

    const Step step_;
    EntryPlacement& placement_;
    ImportPatterns& patterns_;
    ImportCounts& counts_;
    unsigned patternNumber_ = 0;
    bool sawPattern_ = false;
    bool sawLabelOrComment_ = false;
    bool sawFileKey_ = false;
    bool applied_ = false;
    uint32_t lastApplied_ = 0;
};

// One more pass from the file's start. False when it did not read the whole
// file.
bool Reread(std::FILE* file, ImportReader& reader, EntrySink& sink) {
    return std::fseek(file, 0, SEEK_SET) == 0 && reader.Read(file, sink);
}

void Import(std::FILE* file, ImportReader& reader, const ImportOptions& options) {
    EntryPlacement placement(options.fallbackBase, options.fallbackSize);
    ImportPatterns patterns;
    ImportCounts counts = {};
    PassSink check(Step::kCheck, placement, patterns, counts);
    if (!reader.Read(file, check)) {
        HostFlash("[ERROR]: Nothing imported, %s!", reader.fault());
        return;
    }
    if (!placement.Scan(check.sawFileKey())) throw std::bad_alloc();
    if (check.sawPattern()) {
        PassSink collect(Step::kCollect, placement, patterns, counts);
        if (!Reread(file, reader, collect)) {
            HostFlash("[ERROR]: Nothing imported, %s!",
                      reader.readFailed() ? "the file could not be read" : "the file changed while it was read");
            return;
        }
        patterns.Search();
    }
    // Undone as one.
    BeginUndo(UndoKind::kImport);
    PassSink bookmarks(Step::kBookmarks, placement, patterns, counts);
    PassSink others(Step::kLabelsAndComments, placement, patterns, counts);
    bool complete = false;
    bool outOfMemory = false;
    try {
        complete = Reread(file, reader, bookmarks) && (!check.sawLabelOrComment() || Reread(file, reader, others));
    } catch (const std::bad_alloc&) {
        outOfMemory = true;   // what was applied stays
    }
    counts.undoFailure = FinishUndo();
    // Each bookmark's caption was made before its fields were filled in; the
    // names are new.
    if (bookmarks.applied()) PublishStatus(ActivePosition(bookmarks.lastApplied()));
    if (counts.names) RepaintBookmarkList();
    if (outOfMemory)
        HostFlash("[ERROR]: Import stopped by a lack of memory after %u bookmarks!", counts.bookmarks);
    else if (!complete && reader.readFailed())
        HostFlash("[ERROR]: Import stopped by a read error after %u bookmarks!", counts.bookmarks);
    else if (!complete)
        HostFlash("[ERROR]: Import stopped after %u bookmarks, the file changed while it was read!",
                  counts.bookmarks);
    else
        FlashImportOutcome(counts, options);
}

}  // namespace

void RunImport(const char* path, ImportReader& reader, const ImportOptions& options) {
    std::FILE* file = std::fopen(path, "rb");
    if (!file) {
        HostFlash("[ERROR]: Nothing imported!");
        return;
    }
    try {
        Import(file, reader, options);
    } catch (const std::bad_alloc&) {
        HostFlash("[ERROR]: Nothing imported, out of memory!");
    }
    std::fclose(file);
}

}  // namespace zt
