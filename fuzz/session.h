// One fuzzing run: the real Zentrilo.dll loaded once into the simulated host,
// then input after input of one kind, with random user operations between
// them, and the invariants checked after every step.
//
// What is checked is what the user and other plug-ins can see: the exports
// (_zt_Count, _zt_Exists, navigation), the host's sorted table, the panel's
// caption, the host's log, status bar, names and files. The plug-in's own
// structures are never looked at.
#pragma once

#include "host/plugin_fixture.h"
#include "host/temp_folder.h"
#include "random.h"

#include <cstdint>
#include <string>
#include <vector>

namespace fuzz {

struct Kind;

// The debugged program the fuzzer shows the plug-in: the module's headers
// and its code, two blocks that touch.
constexpr uint32_t kModuleBase = 0x400000, kCode = 0x401000, kCodeSize = 0x1000;
constexpr uint32_t kOtherBase = 0x70000000;   // module "Other.dll", one readable page
constexpr int kMenuClear = 1, kMenuImport = 2, kMenuExport = 3, kMenuList = 4, kMenuSettings = 5;
constexpr int kSettingsOk = 1013, kSettingsCancel = 1014;
constexpr size_t kModuleWidth = 9, kNameWidth = 64, kOriginalWidth = 256, kCommentWidth = 256;
constexpr char kModuleChanged[] = "Auto Warning: Module name Changed!";

struct RunOptions {
    std::string kind;
    uint32_t seed = 1;
    uint32_t first = 0;
    uint32_t count = 100;
    uint32_t progressEvery = 1000;
};

// Where the run is, for the reports of failures and crashes.
struct Position {
    const char* kind = "?";
    uint32_t seed = 0, first = 0, index = 0;
    const char* step = "start";
};
extern Position g_position;

class Session : public PluginTest {
public:
    // Runs the inputs the options ask for, of one kind or (kind "all") of
    // each in turn; the number of failures.
    int Run(const RunOptions& options);

    // For the kinds' drivers.
    using PluginTest::Action;
    using PluginTest::BookmarkAddresses;
    using PluginTest::Caption;
    using PluginTest::dll;
    using PluginTest::FindPanel;
    using PluginTest::ListWindow;
    using PluginTest::Flashes;
    using PluginTest::Menu;
    using PluginTest::Shortcut;
    using PluginTest::Table;
    using PluginTest::DeliverRecord;
    using PluginTest::SaveUdd;

    Rng& rng() { return *rng_; }
    std::string FilePath(const std::string& name) const { return folder_.Path(name); }
    // A random address: mostly a few bytes where the headers end and the code
    // begins (so that toggles meet, across two blocks), then the other module,
    // memory nobody has just below it, and the ends of the address space.
    uint32_t Address();
    uint32_t PaneBase();   // a block base for the CPU pane
    // Selects a random address in the CPU pane, never 0: the subclassed pane
    // republishes the caption for a selection, and 0 means none.
    uint32_t SelectSomewhere();

    // A broken invariant: reported with the input's position, counted.
    void Fail(const std::string& what);
    // Flashes since the current step began.
    std::vector<std::string> NewFlashes() const;
    // A step changed the bookmarks through the store, which republishes the
    // caption; or it left the caption as it was (a switch from the list).
    void CaptionPublished() { caption_ = CaptionState::Counts; }
    void CaptionCleared() { caption_ = CaptionState::Zentrilo; }
    void CaptionStale() { caption_ = CaptionState::Stale; }
    // A project record republishes before it copies the active byte in: the
    // total is right at once, the active count at the next publication.
    void CaptionTotalOnly() { caption_ = CaptionState::Total; }

    // One random user operation; then the invariants.
    void RandomOperation();
    // The invariants after a step named `step`.
    void Check(const char* step);
    // The exchange-file export, with a scripted write or close failure now and then.
    void Export();
    // A key pressed in the list window, with or without Shift.
    void ListKey(WPARAM key, bool shift);
    // The host's record of a bookmark, or null.
    const uint8_t* Item(uint32_t address);

    uint64_t operations() const { return operations_; }
    uint64_t checks() const { return checks_; }

private:
    enum class CaptionState { Zentrilo, Counts, Total, Stale };
    void Time(const char* what, LARGE_INTEGER since);
    void StartWorld();
    void RunKind(const Kind& kind, const RunOptions& options);
    void BeginStep();
    void CheckTable(const std::vector<const uint8_t*>& items);
    void CheckCaption(const std::vector<const uint8_t*>& items);
    void CheckNames();
    void CheckNavigation(const std::vector<const uint8_t*>& items);
    void CheckBackward(const std::vector<const uint8_t*>& items);

    sim::TempFolder folder_;
    Rng* rng_ = nullptr;
    CaptionState caption_ = CaptionState::Zentrilo;
    size_t flashesAtStep_ = 0;
    size_t namesChecked_ = 0;
    size_t violationsSeen_ = 0;
    int failures_ = 0;
    uint64_t operations_ = 0, checks_ = 0;
    HWND panel_ = nullptr;
    std::vector<std::pair<std::string, double>> times_;
};

// A text of `length` printable characters.
std::string Text(Rng& rng, size_t length);
// Fills a text field of `width` bytes: a short text, one that just fits, one
// that fills the field with no terminator, or random bytes.
void FillField(Rng& rng, uint8_t* field, size_t width);
// A field's text as a reader must take it: up to its terminator or its width.
std::string FieldText(const uint8_t* field, size_t width);
// The same, cut to `keep` characters.
std::string FieldText(const uint8_t* field, size_t width, size_t keep);
uint32_t Word(const uint8_t* bytes);
std::string Hex(uint32_t value);

// Offsets in a bookmark record (and the first 346 bytes of an exchange record).
constexpr size_t kRecordSize = 346, kExchangeRecordSize = 602;
constexpr size_t kActiveAt = 16, kModuleAt = 17, kNameAt = 26, kOriginalAt = 90, kCommentAt = 346;
// Compares the host's record at `address` with the fields a reader took from
// `source` (a bookmark record's layout); `what` names the source.
void CompareFields(Session& session, uint32_t address, const uint8_t* source, uint8_t active, const std::string& name,
                   const std::string& what);

}  // namespace fuzz
