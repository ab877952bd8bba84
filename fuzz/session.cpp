#include "session.h"

#include "host/file_failure.h"
#include "kinds.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace fuzz {

Position g_position;

namespace {

constexpr int kBangButton = 1005;
constexpr WPARAM kSemicolonKey = 0xBA;
constexpr LPARAM kKeyData = 0x00140001;
constexpr int kMaxBookmarks = 60;    // a Clear beyond this keeps the checks cheap
constexpr int kReportedFailures = 50;
constexpr char kExported[] = "Zentrilo: Bookmarks exported successfully!";

bool Terminated(const uint8_t* field, size_t width) { return std::memchr(field, 0, width) != nullptr; }

// Which text field of a bookmark record lacks its terminator; "" when none does.
std::string UnterminatedField(const uint8_t* record) {
    if (!Terminated(record + kModuleAt, kModuleWidth)) return "module";
    if (!Terminated(record + kNameAt, kNameWidth)) return "name";
    if (!Terminated(record + kOriginalAt, kOriginalWidth)) return "original disassembly";
    return "";
}

bool IsActive(const uint8_t* record) { return record[kActiveAt] != 0; }

struct Move {
    int result;        // as _zt_NavigateBack returns it
    uint32_t target;   // where the CPU pane goes; 0 for nowhere
};

// Back from `start`, one bookmark at a time: down over disabled ones to the
// nearest active one, where an unreachable one on the way ends the search;
// then the wrap to the highest active one, when it is reachable.
Move ExpectedBack(const std::vector<const uint8_t*>& items, uint32_t start) {
    for (size_t i = items.size(); i-- > 0;) {
        const uint32_t address = Word(items[i]);
        if (address >= start) continue;
        if (!HostFindMemory(address)) break;
        if (IsActive(items[i])) return {1, address};
    }
    for (size_t i = items.size(); i-- > 0;) {
        if (!IsActive(items[i])) continue;
        const uint32_t address = Word(items[i]);
        if (address != 0 && HostFindMemory(address)) return {2, address};
        break;
    }
    return {0, 0};
}

}  // namespace

uint32_t Word(const uint8_t* bytes) {
    uint32_t value;
    std::memcpy(&value, bytes, sizeof value);
    return value;
}

std::string Hex(uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "%08X", unsigned(value));
    return text;
}

std::string FieldText(const uint8_t* field, size_t width, size_t keep) {
    return FieldText(field, width).substr(0, keep);
}

void CompareFields(Session& session, uint32_t address, const uint8_t* source, uint8_t active, const std::string& name,
                   const std::string& what) {
    const uint8_t* item = session.Item(address);
    if (!item) return session.Fail("no bookmark at " + Hex(address) + " after " + what);
    const struct {
        const char* field;
        std::string want, got;
    } fields[] = {
        {"name", name, FieldText(item + kNameAt, kNameWidth)},
        {"original disassembly", FieldText(source + kOriginalAt, kOriginalWidth, kOriginalWidth - 1),
         FieldText(item + kOriginalAt, kOriginalWidth)},
        {"module", FieldText(source + kModuleAt, kModuleWidth, kModuleWidth - 1), FieldText(item + kModuleAt, kModuleWidth)},
    };
    for (const auto& field : fields) {
        if (field.want != field.got)
            session.Fail("the " + std::string(field.field) + " of " + Hex(address) + " is \"" + field.got + "\", " +
                         what + " says \"" + field.want + "\"");
    }
    if (item[kActiveAt] != active)
        session.Fail("the active byte of " + Hex(address) + " is " + std::to_string(item[kActiveAt]) + ", " + what +
                     " says " + std::to_string(active));
}

const uint8_t* Session::Item(uint32_t address) {
    for (const uint8_t* item : sim::SortedItems(&Table()->sorted))
        if (Word(item) == address) return item;
    return nullptr;
}

std::string Text(Rng& rng, size_t length) {
    std::string text(length, ' ');
    for (char& c : text) c = char(0x20 + rng.Below(0x5F));
    return text;
}

void FillField(Rng& rng, uint8_t* field, size_t width) {
    std::memset(field, 0, width);
    switch (rng.Below(5)) {
    case 0: break;   // empty
    case 1: {        // a short text
        std::string text = Text(rng, rng.Below(uint32_t(width)));
        std::memcpy(field, text.data(), text.size());
        break;
    }
    case 2: {        // just fits
        std::string text = Text(rng, width - 1);
        std::memcpy(field, text.data(), text.size());
        break;
    }
    case 3: {        // fills the field, no terminator
        std::string text = Text(rng, width);
        std::memcpy(field, text.data(), width);
        break;
    }
    default:         // any bytes, zeros rare
        for (size_t i = 0; i < width; ++i) field[i] = uint8_t(1 + rng.Below(255));
        if (rng.OneIn(2)) field[rng.Below(uint32_t(width))] = 0;
    }
}

std::string FieldText(const uint8_t* field, size_t width) {
    const void* end = std::memchr(field, 0, width);
    return std::string(reinterpret_cast<const char*>(field),
                       end ? static_cast<const uint8_t*>(end) - field : width);
}

uint32_t Session::Address() {
    switch (rng().Below(10)) {
    case 6: return kCode + rng().Below(kCodeSize);
    case 7: return kOtherBase + rng().Below(16);
    case 8: return kOtherBase - 4 + rng().Below(4);   // memory nobody has, just below a block
    case 9:
        return rng().Pick(std::vector<uint32_t>{0, 1, 0x7FFFFFFF, 0x80000000, 0xFFFFFFFE, 0xFFFFFFFF,
                                                kCode - 1, kCode + kCodeSize - 1, kCode + kCodeSize});
    default: return kCode - 4 + rng().Below(52);   // the headers' last bytes among them
    }
}

uint32_t Session::PaneBase() {
    return rng().Pick(std::vector<uint32_t>{kCode, kCode, kCode, kModuleBase, kOtherBase, 0, 0x80000000, 0xFFFFF000});
}

uint32_t Session::SelectSomewhere() {
    uint32_t address = Address();
    if (address == 0) address = kCode;
    SelectInPane(address);
    CaptionPublished();
    return address;
}

void Session::Fail(const std::string& what) {
    if (++failures_ <= kReportedFailures) {
        std::printf("FUZZ-FAIL kind=%s seed=%u first=%u index=%u step=%s: %s\n", g_position.kind,
                    unsigned(g_position.seed), unsigned(g_position.first), unsigned(g_position.index),
                    g_position.step, what.c_str());
    }
}

std::vector<std::string> Session::NewFlashes() const {
    return std::vector<std::string>(Flashes().begin() + long(std::min(flashesAtStep_, Flashes().size())),
                                    Flashes().end());
}

void Session::BeginStep() { flashesAtStep_ = Flashes().size(); }

void Session::Time(const char* what, LARGE_INTEGER since) {
    LARGE_INTEGER now, frequency;
    QueryPerformanceCounter(&now);
    QueryPerformanceFrequency(&frequency);
    const double ms = double(now.QuadPart - since.QuadPart) * 1000.0 / double(frequency.QuadPart);
    for (auto& [name, total] : times_)
        if (name == what) return void(total += ms);
    times_.emplace_back(what, ms);
}

void Session::StartWorld() {
    std::vector<uint8_t> code{0x55, 0x8B, 0xEC, 0x33, 0xC0, 0x83, 0xC4, 0x10, 0xC3};
    code.resize(kCodeSize, 0x90);
    AddModule(kModuleBase, 0x10000, "target");
    AddBlock(kModuleBase, kCode - kModuleBase, 0);   // the headers, touching the code
    AddBlock(kCode, code);
    AddModule(kOtherBase, 0x1000, "OTHERMOD");   // 8 characters: no terminator in the host's field
    AddBlock(kOtherBase, 0x1000, 0xCC);
    ShowBlock(kCode, kCodeSize);
    StoreSetting("restore_bookmarks_window", 1);
    sim::WriteFileBytes(FilePath("help.hlp"), {'?'});   // a help file that exists
    if (Start() != 0 || ListWindow() == nullptr || (panel_ = FindPanel()) == nullptr) Fail("the plug-in did not start");
    // The watcher subclasses the pane on its first tick; from then on every
    // selection change republishes the caption.
    HWND pane = sim::PaneWindow();
    const LONG own = GetWindowLongA(pane, GWL_WNDPROC);
    if (!PumpUntil([&] { return GetWindowLongA(pane, GWL_WNDPROC) != own; }, 10000))
        Fail("the pane was never subclassed");
}

int Session::Run(const RunOptions& options) {
    std::vector<const Kind*> kinds;
    for (const Kind& candidate : Kinds())
        if (options.kind == candidate.name || options.kind == "all") kinds.push_back(&candidate);
    if (kinds.empty()) {
        std::printf("FUZZ: no input kind \"%s\"\n", options.kind.c_str());
        return 1;
    }
    g_position = {kinds.front()->name, options.seed, options.first, options.first, "start"};
    StartWorld();
    for (const Kind* kind : kinds) RunKind(*kind, options);
    return failures_;
}

void Session::RunKind(const Kind& kindToRun, const RunOptions& options) {
    const Kind* kind = &kindToRun;
    g_position.kind = kind->name;
    g_position.index = options.first;
    // Each kind starts from no bookmarks, whatever the one before left.
    Action(kOriginPluginMenu, kMenuClear);
    CaptionCleared();
    const int failuresBefore = failures_;
    const DWORD started = GetTickCount();
    for (uint32_t i = 0; i < options.count; ++i) {
        g_position.index = options.first + i;
        Rng rng(InputSeed(options.seed, kind->name, g_position.index));
        rng_ = &rng;
        // The host's records of what happened, kept per input only.
        sim::ResetLogWindow();
        sim::ResetTextEntry();
        sim::ResetDebuggerActions();
        sim::ResetUddRecords();
        sim::ResetFileStubs();
        flashesAtStep_ = 0;
        if (int(BookmarkAddresses().size()) > kMaxBookmarks) {
            Action(kOriginPluginMenu, kMenuClear);
            CaptionCleared();
        }

        if (rng.OneIn(2)) RandomOperation();
        g_position.step = "input";
        BeginStep();
        LARGE_INTEGER t;
        QueryPerformanceCounter(&t);
        kind->input(*this);
        Time("input", t);
        QueryPerformanceCounter(&t);
        Check("input");
        Time("check", t);
        const std::vector<const uint8_t*> items = sim::SortedItems(&Table()->sorted);
        QueryPerformanceCounter(&t);
        if (rng.OneIn(16)) CheckNavigation(items);
        Time("navigation walk", t);
        // Back from every bookmark costs more: after every fourth input.
        QueryPerformanceCounter(&t);
        if (g_position.index % 4 == 0) CheckBackward(items);
        Time("navigation back", t);
        if (rng.OneIn(4)) RandomOperation();
        rng_ = nullptr;

        if ((i + 1) % options.progressEvery == 0 || i + 1 == options.count) {
            std::printf("FUZZ-PROGRESS kind=%s index=%u done=%u failures=%d ms=%lu\n", kind->name,
                        unsigned(g_position.index), unsigned(i + 1), failures_ - failuresBefore,
                        static_cast<unsigned long>(GetTickCount() - started));
        }
    }
    for (const auto& [name, total] : times_) std::printf("FUZZ-TIME %s %.0f ms\n", name.c_str(), total);
    std::printf("FUZZ-DONE kind=%s seed=%u first=%u inputs=%u operations=%llu checks=%llu failures=%d ms=%lu\n",
                kind->name, unsigned(options.seed), unsigned(options.first), unsigned(options.count),
                static_cast<unsigned long long>(operations_), static_cast<unsigned long long>(checks_),
                failures_ - failuresBefore,
                static_cast<unsigned long>(GetTickCount() - started));
    operations_ = checks_ = 0;
    times_.clear();
}

void Session::ListKey(WPARAM key, bool shift) {
    HoldKeys(shift, false);
    SendMessageA(ListWindow(), WM_KEYDOWN, key, kKeyData);
    HoldKeys(false, false);
}

void Session::RandomOperation() {
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    BeginStep();
    ++operations_;
    const uint32_t address = Address();
    const size_t moves = sim::SetCpuCalls().size();
    const char* step = "operation";
    switch (rng().Below(20)) {
    case 0: case 1: case 2: case 3: case 4:
        step = "toggle";
        dll.zt_Toggle(address);
        if (address != 0) CaptionPublished();
        break;
    case 5: case 6:
        step = "navigate back";
        dll.zt_NavigateBack(address);
        break;
    case 7: case 8:
        step = "navigate forward";
        dll.zt_NavigateForward(address);
        break;
    case 9: case 10: {
        step = "!";
        SelectSomewhere();
        HWND bang = GetDlgItem(panel_, kBangButton);
        SendMessageA(panel_, WM_COMMAND, MAKEWPARAM(kBangButton, BN_CLICKED), reinterpret_cast<LPARAM>(bang));
        break;
    }
    case 11:
        // The list window opens from the menu and closes with its close box.
        step = "list open or close";
        if (ListWindow()) SendMessageA(ListWindow(), WM_CLOSE, 0, 0);
        else Action(kOriginPluginMenu, kMenuList);
        break;
    case 12: case 13: case 14: {
        step = "list command";
        if (!ListWindow()) break;
        const int rows = int(BookmarkAddresses().size());
        Table()->sorted.selectedRow = rows > 0 && !rng().OneIn(8) ? int(rng().Below(uint32_t(rows))) : -1;
        const bool row = Table()->sorted.selectedRow >= 0;
        switch (rng().Below(6)) {
        case 0: ListKey(VK_DELETE, false); if (row) CaptionPublished(); break;
        case 1: ListKey(VK_SPACE, false); if (row) CaptionStale(); break;
        case 2: ListKey(VK_RETURN, false); break;
        case 3: sim::ReplyText(Text(rng(), rng().Below(300))); ListKey(kSemicolonKey, true); break;
        case 4: sim::ReplyText(Text(rng(), rng().Below(300))); ListKey(kSemicolonKey, false); break;
        default: ListKey('G', false); break;
        }
        break;
    }
    case 15:
        step = "clear";
        Action(kOriginPluginMenu, kMenuClear);
        CaptionCleared();
        break;
    case 16:
        step = "reset";
        dll.Pluginreset();
        CaptionCleared();
        break;
    case 17:
        step = "export";
        Export();
        break;
    case 18: {
        step = "save project";
        const std::vector<const uint8_t*> items = sim::SortedItems(&Table()->sorted);
        SaveUdd();
        const std::vector<sim::SavedRecord>& saved = sim::SavedRecords();
        if (saved.size() != items.size()) Fail("saved " + std::to_string(saved.size()) + " records of " +
                                               std::to_string(items.size()));
        for (size_t i = 0; i < std::min(saved.size(), items.size()); ++i) {
            if (saved[i].size != kRecordSize || std::memcmp(saved[i].body.data(), items[i], kRecordSize) != 0)
                Fail("saved record " + std::to_string(i) + " differs from the table's");
        }
        sim::ResetUddRecords();
        break;
    }
    default:
        step = "paint";
        if (ListWindow()) RedrawWindow(ListWindow(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
        sim::PumpMessages();
        break;
    }
    // A move of the CPU pane (navigation, follow) republished the caption.
    if (sim::SetCpuCalls().size() != moves) CaptionPublished();
    Time(step, t);
    QueryPerformanceCounter(&t);
    Check(step);
    Time("check", t);
}

void Session::Export() {
    ShowBlock(PaneBase(), kCodeSize);
    const uint32_t base = sim::Pane()->blockBase;
    const std::vector<const uint8_t*> items = sim::SortedItems(&Table()->sorted);
    const std::string path = FilePath("out.dat");
    const uint32_t fault = rng().Below(6);
    if (fault == 0) sim::FailFileWrite(1 + int(rng().Below(uint32_t(items.size()) + 1)));
    if (fault == 1) sim::FailFileClose();
    sim::ChooseFile(path);
    Action(kOriginPluginMenu, kMenuExport);
    const bool faulted = fault <= 1 && !sim::FileFailurePending();
    sim::ResetFileStubs();

    const std::vector<std::string> flashes = NewFlashes();
    const bool success = std::find(flashes.begin(), flashes.end(), kExported) != flashes.end();
    if (faulted && success) return Fail("export reported success though a write or the close failed");
    if (!faulted && !success) return Fail("export failed with no fault made");
    if (!success) return;
    const std::optional<std::vector<uint8_t>> bytes = sim::ReadFileBytes(path);
    if (!bytes || bytes->size() != items.size() * kExchangeRecordSize)
        return Fail("export reported success but the file holds " + std::to_string(bytes ? bytes->size() : 0) +
                    " bytes for " + std::to_string(items.size()) + " bookmarks");
    for (size_t i = 0; i < items.size(); ++i) {
        const uint8_t* record = bytes->data() + i * kExchangeRecordSize;
        if (Word(record) + base != Word(items[i]))
            Fail("exported record " + std::to_string(i) + " is for " + Hex(Word(record) + base) + ", not " +
                 Hex(Word(items[i])));
        if (!UnterminatedField(record).empty() || !Terminated(record + kCommentAt, kCommentWidth))
            Fail("exported record " + std::to_string(i) + " has an unterminated text field");
    }
}

void Session::Check(const char* step) {
    g_position.step = step;
    ++checks_;
    const std::vector<const uint8_t*> items = sim::SortedItems(&Table()->sorted);
    CheckTable(items);
    CheckCaption(items);
    CheckNames();
    const std::vector<std::string>& violations = sim::Violations();
    for (; violationsSeen_ < violations.size(); ++violationsSeen_) Fail("host: " + violations[violationsSeen_]);
}

void Session::CheckTable(const std::vector<const uint8_t*>& items) {
    for (size_t i = 1; i < items.size(); ++i) {
        if (Word(items[i - 1]) >= Word(items[i])) Fail("the host's table is not in ascending order at " + Hex(Word(items[i])));
    }
    const int count = dll.zt_Count();
    if (count != int(items.size()))
        return Fail("_zt_Count is " + std::to_string(count) + ", the host's table holds " + std::to_string(items.size()));
    const bool all = items.size() <= 64;
    for (size_t i = 0; i < items.size(); ++i) {
        const uint32_t address = Word(items[i]);
        if ((all || rng_ == nullptr || rng().OneIn(8)) && dll.zt_Exists(address) != 1)
            Fail("_zt_Exists says no for " + Hex(address) + ", which the host's table holds");
        const std::string field = UnterminatedField(items[i]);
        if (!field.empty()) Fail("the " + field + " of the bookmark at " + Hex(address) + " is not terminated");
        if (Word(items[i] + 4) != 1 || Word(items[i] + 8) != 0 || Word(items[i] + 12) != sim::kBookmarkTag)
            Fail("the size, type or tag of the bookmark at " + Hex(address) + " changed");
    }
    if (rng_ == nullptr) return;
    for (int probe = 0; probe < 2; ++probe) {
        const uint32_t address = Address();
        const bool held = std::any_of(items.begin(), items.end(), [&](const uint8_t* item) { return Word(item) == address; });
        if (!held && dll.zt_Exists(address) != 0) Fail("_zt_Exists says yes for " + Hex(address) + ", not in the host's table");
    }
}

void Session::CheckCaption(const std::vector<const uint8_t*>& items) {
    HWND panel = panel_;
    if (!panel) return Fail("the navigation panel is gone");
    const std::string caption = Caption(panel);
    if (caption_ == CaptionState::Stale) return;
    if (caption_ == CaptionState::Zentrilo) {
        if (caption != "Zentrilo") Fail("caption \"" + caption + "\" after a clear or reset");
        return;
    }
    const int active = int(std::count_if(items.begin(), items.end(), IsActive));
    int position = 0, shownActive = 0, shownTotal = 0;
    char again[64] = "";
    if (std::sscanf(caption.c_str(), "Bk. (%d/%d/%d)", &position, &shownActive, &shownTotal) == 3)
        std::snprintf(again, sizeof again, "Bk. (%d/%02d/%d)", position, shownActive, shownTotal);
    const bool positionFits = position == -1 || (position >= 1 && size_t(position) <= items.size() &&
                                                 IsActive(items[size_t(position) - 1]));
    const bool activeFits = caption_ == CaptionState::Total || shownActive == active;
    if (caption != again || !activeFits || shownTotal != int(items.size()) || !positionFits) {
        Fail("caption \"" + caption + "\", recount: " + std::to_string(active) + " active of " +
             std::to_string(items.size()));
    }
}

void Session::CheckNames() {
    const std::vector<sim::NameCall>& names = sim::NameInsertions();
    if (namesChecked_ > names.size()) namesChecked_ = 0;   // the host forgot them
    for (; namesChecked_ < names.size(); ++namesChecked_) {
        const sim::NameCall& name = names[namesChecked_];
        const size_t limit = name.type == kHostNameLabel ? kNameWidth - 1 : kCommentWidth - 1;
        if (name.text.size() > limit)
            Fail("a name of type " + std::to_string(name.type) + " at " + Hex(name.address) + " is " +
                 std::to_string(name.text.size()) + " characters long");
    }
}

void Session::CheckNavigation(const std::vector<const uint8_t*>& items) {
    g_position.step = "navigation walk";
    std::vector<uint32_t> expected;
    for (const uint8_t* item : items) {
        if (IsActive(item) && Word(item) != 0 && HostFindMemory(Word(item))) expected.push_back(Word(item));
    }
    uint32_t at = 0;
    for (size_t k = 0; k <= expected.size() && k < 8; ++k) {
        const size_t moves = sim::SetCpuCalls().size();
        const int result = dll.zt_NavigateForward(at);
        if (result != 1) {
            if (k < expected.size()) Fail("forward from " + Hex(at) + " found nothing, the next active is " + Hex(expected[k]));
            break;
        }
        CaptionPublished();
        if (sim::SetCpuCalls().size() == moves) return Fail("forward from " + Hex(at) + " did not move");
        at = sim::SetCpuCalls().back().disasmAddress;
        if (k == expected.size() || at != expected[k])
            return Fail("forward went to " + Hex(at) + ", the next active is " +
                        (k < expected.size() ? Hex(expected[k]) : std::string("none")));
    }
    Check("navigation walk");
}

void Session::CheckBackward(const std::vector<const uint8_t*>& items) {
    g_position.step = "navigation back";
    // From both ends of the address space and from just above every bookmark:
    // what lies below the start is all the search looks at, so these meet
    // every case there is.
    std::vector<uint32_t> starts{0, 0xFFFFFFFF};
    for (const uint8_t* item : items) {
        if (Word(item) != 0xFFFFFFFF) starts.push_back(Word(item) + 1);
    }
    for (uint32_t start : starts) {
        const Move want = ExpectedBack(items, start);
        const size_t moves = sim::SetCpuCalls().size();
        const int result = dll.zt_NavigateBack(start);
        const uint32_t at = sim::SetCpuCalls().size() == moves ? 0 : sim::SetCpuCalls().back().disasmAddress;
        if (at != 0) CaptionPublished();
        if (result != want.result || at != want.target)
            return Fail("back from " + Hex(start) + " gave " + std::to_string(result) + " at " + Hex(at) +
                        ", expected " + std::to_string(want.result) + " at " + Hex(want.target));
    }
    Check("navigation back");
}

}  // namespace fuzz
