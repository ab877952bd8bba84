// The benchmark: the real Zentrilo.dll in the simulated debugger, with lean
// tables (bisection lookups, no guard pages), under Wine. For each number of
// bookmarks n it times the plug-in's operations, takes the median of several
// rounds and prints the time per operation (per record for a project load, an
// import and a save); at the end, each row's scale ratio: its cost at the
// largest n over its cost at the smallest, from this one run. Last, a JSON
// bookmark list of the n bookmarks spread over three modules is exported and
// imported into a fresh plug-in whose modules load elsewhere, and the ratios
// the JSON rows are held to are printed; the same for the n bookmarks of one
// module as program XML, imported by turns with their JSON list. At the very
// end, a Ghidra-shaped program XML of --ghidra-mb megabytes (100; 0: none)
// with 1,000 Note bookmarks among its sections is imported: its time and the
// plug-in's heap at most.
//
//   OllyDbg.exe [--sizes=100,1000,10000,100000] [--rounds=31] [--load-rounds=N] [--hidden-panel]
//               [--ghidra-mb=100]
//
// --load-rounds sets the rounds of the project load, the import and the save
// (5, and 3 from n = 100,000 on, when not given). --hidden-panel keeps the
// navigation panel hidden: its caption then costs little to change, which
// shows the rest better on a slow machine (the key press row is left out: the
// plug-in follows the pane only while the panel is shown).
#include "host/allocation_failure.h"
#include "host/exchange_bytes.h"
#include "host/pe_header.h"
#include "host/plugin_fixture.h"
#include "host/process_setup.h"
#include "host/temp_folder.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

namespace {

constexpr uint32_t kModuleBase = 0x10000000, kCode = 0x10001000, kStride = 4;
constexpr int kImport = 2, kExport = 3, kList = 4;
constexpr DWORD kJsonType = 2;   // the file dialogs' filter index of a JSON bookmark list
constexpr DWORD kProgramXmlType = 5;   // and of Ghidra/IDA program XML in the save dialog
constexpr DWORD kProgramXmlImportType = 4;   // and in the open dialog
constexpr int kUnboundKey = VK_DOWN;

std::vector<int> g_sizes = {100, 1000, 10000, 100000};
int g_rounds = 31;
int g_loadRounds = 0;  // 0: by n
bool g_hiddenPanel = false;

// Row name -> n -> microseconds, rows in the order first measured.
std::vector<std::string> g_rows;
std::map<std::string, std::map<int, double>> g_results;

void Record(const std::string& row, int n, double us) {
    if (!g_results.count(row)) g_rows.push_back(row);
    g_results[row][n] = us;
    std::printf("  n=%-6d %-52s %12.2f us\n", n, row.c_str(), us);
}

double Now() {
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER count;
    QueryPerformanceCounter(&count);
    return double(count.QuadPart) * 1e6 / double(frequency.QuadPart);
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    size_t middle = values.size() / 2;
    return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

// The median over `rounds` of prepare() (untimed) then op() (timed), divided by per.
template <class Prepare, class Op>
double Measure(int rounds, double per, Prepare prepare, Op op) {
    std::vector<double> times;
    for (int round = 0; round < rounds; ++round) {
        prepare(round);
        double start = Now();
        op(round);
        times.push_back((Now() - start) / per);
    }
    return Median(times);
}

class Benchmark : public PluginTest {
public:
    explicit Benchmark(int n) : n_(n) {}

    void TestBody() override {
        sim::UseLeanTables(true);
        AddModule(kModuleBase, kCode - kModuleBase + n_ * kStride + 0x1000, "bench");
        AddBlock(kCode, n_ * kStride + 0x100, 0x90);
        ShowBlock(kCode, n_ * kStride + 0x100);
        if (g_hiddenPanel) StoreSetting("auto_show", 0);
        ASSERT_EQ(0, Start());

        LoadRows();
        ToggleRows();
        NavigationRows();
        QueryRows();
        if (!g_hiddenPanel) KeyPressRow();
        SaveRow();
        ImportRow();
        DisabledNavigationRow();
        PaintRow();
        FindRow();
        JsonRows();
        ProgramXmlRows();
    }

private:
    uint32_t At(int i) const { return kCode + uint32_t(i) * kStride; }
    int LoadRounds() const { return g_loadRounds > 0 ? g_loadRounds : n_ >= 100000 ? 3 : 5; }

    // Frees what the host recorded so far: a run makes millions of calls.
    static void ForgetCalls() {
        sim::ResetLogWindow();
        sim::ResetDebuggerActions();
        sim::ResetUddRecords();
        sim::ResetDisassembler();
        sim::ResetNames();
    }

    void Reset() {
        dll.Pluginreset();
        ForgetCalls();
    }

    // The project's records handed over as the host reads it, lowest address first.
    void Load(bool (*active)(int i, int n)) {
        std::vector<uint8_t> body = sim::BookmarkBytes(0, 1, "bench", "n/a", "NOP");
        for (int i = 0; i < n_; ++i) {
            uint32_t address = At(i);
            std::memcpy(body.data(), &address, 4);
            body[16] = active(i, n_) ? 1 : 0;
            dll.Pluginuddrecord(nullptr, 1, sim::kBookmarkTag, body.size(), body.data());
        }
    }
    static bool AllActive(int, int) { return true; }
    static bool EndsActive(int i, int n) { return i == 0 || i == n - 1; }

    void LoadRows() {
        Record("project load of n records, per record", n_,
               Measure(LoadRounds(), n_, [&](int) { Reset(); }, [&](int) { Load(AllActive); }));
        ASSERT_EQ(n_, dll.zt_Count());
    }

    void ToggleRows() {
        std::vector<double> adds, removes;
        for (int round = 0; round < g_rounds; ++round) {
            uint32_t address = At(n_ / 2 + round % (n_ / 2)) + 2;
            double start = Now();
            dll.zt_Toggle(address);
            adds.push_back(Now() - start);
            start = Now();
            dll.zt_Toggle(address);
            removes.push_back(Now() - start);
        }
        Record("_zt_Toggle, add", n_, Median(adds));
        Record("_zt_Toggle, remove", n_, Median(removes));
        ForgetCalls();
    }

    void NavigationRows() {
        const uint32_t middle = At(n_ / 2);
        auto none = [](int) {};
        Record("_zt_NavigateForward from the middle", n_,
               Measure(g_rounds, 1, none, [&](int) { dll.zt_NavigateForward(middle); }));
        Record("_zt_NavigateBack from the middle", n_,
               Measure(g_rounds, 1, none, [&](int) { dll.zt_NavigateBack(middle); }));
        ForgetCalls();
    }

    void QueryRows() {
        constexpr int kBatch = 200;
        const uint32_t middle = At(n_ / 2);
        auto none = [](int) {};
        Record("_zt_Exists", n_, Measure(g_rounds, kBatch, none, [&](int) {
                   for (int i = 0; i < kBatch; ++i) dll.zt_Exists(middle + (i & 1));
               }));
        Record("_zt_Count", n_, Measure(g_rounds, kBatch, none, [&](int) {
                   for (int i = 0; i < kBatch; ++i) dll.zt_Count();
               }));
    }

    // A key the plug-in does not claim, pressed in the CPU pane: the host asks
    // the plug-in's shortcut handler, then the pane's window gets the key, which
    // the plug-in's watcher sees to republish the caption.
    void KeyPressRow() {
        HWND pane = sim::PaneWindow();
        LONG_PTR own = GetWindowLongPtrA(pane, GWLP_WNDPROC);
        ASSERT_TRUE(PumpUntil([&] { return GetWindowLongPtrA(pane, GWLP_WNDPROC) != own; }, 10000))
            << "the watcher did not attach";
        sim::Pane()->selected = At(n_ / 2);
        Record("CPU pane key press, the plug-in's share", n_, Measure(g_rounds, 1, [](int) {}, [&](int) {
                   Shortcut(kOriginCpuPane, 0, 0, 0, kUnboundKey, PaneItem());
                   SendMessageA(pane, WM_KEYDOWN, kUnboundKey, 0);
               }));
        ForgetCalls();
    }

    void SaveRow() {
        Record("project save, per record", n_,
               Measure(LoadRounds(), n_, [](int) { sim::ResetUddRecords(); }, [&](int) { SaveUdd(); }));
        ForgetCalls();
    }

    void ImportRow() {
        std::vector<uint8_t> record = sim::ExchangeBytes(0, 1, "bench", "n/a", "NOP", "");
        std::vector<uint8_t> file(record.size() * n_);
        for (int i = 0; i < n_; ++i) {
            uint32_t relative = uint32_t(i) * kStride;
            std::memcpy(record.data(), &relative, 4);
            std::memcpy(file.data() + i * record.size(), record.data(), record.size());
        }
        sim::TempFolder folder;
        const std::string path = folder.Path("bench.dat");
        ASSERT_TRUE(sim::WriteFileBytes(path, file));
        file.clear();
        file.shrink_to_fit();
        Record("import of an exchange file of n records, per record", n_,
               Measure(LoadRounds(), n_, [&](int) { Reset(); }, [&](int) {
                   sim::ChooseFile(path);
                   Action(kOriginPluginMenu, kImport);
               }));
        ASSERT_EQ(n_, dll.zt_Count());
        ForgetCalls();
    }

    // From the last bookmark back to the first, over every one between, all disabled.
    void DisabledNavigationRow() {
        Reset();
        Load(EndsActive);
        ForgetCalls();
        const int rounds = n_ >= 10000 ? std::min(g_rounds, 11) : g_rounds;
        Record("_zt_NavigateBack, all but first and last disabled", n_,
               Measure(rounds, 1, [](int) {}, [&](int) { dll.zt_NavigateBack(At(n_ - 1)); }));
        ASSERT_EQ(At(0), sim::SetCpuCalls().back().disasmAddress);
        ForgetCalls();
    }

    void PaintRow() {
        Action(kOriginPluginMenu, kList);
        HWND list = ListWindow();
        ASSERT_NE(nullptr, list);
        Record("one paint of the list window", n_, Measure(g_rounds, 1, [&](int) { InvalidateRect(list, nullptr, FALSE); },
                                                           [&](int) { sim::PaintNow(list); }));
    }

    // Ctrl+F in the list window from the first row, the text only in the
    // last: every bookmark's fields and comment are searched.
    void FindRow() {
        HWND list = ListWindow();
        ASSERT_NE(nullptr, list);
        SetName(At(n_ - 1), "needle");
        Record("find in the list window, the match in the last row", n_, Measure(g_rounds, 1, [&](int) {
                   Table()->sorted.selectedRow = 0;
                   sim::ReplyText("Needle");
               }, [&](int) {
                   HoldKeys(false, true);
                   SendMessageA(list, WM_KEYDOWN, 'F', 0);
                   HoldKeys(false, false);
               }));
        ASSERT_EQ(n_ - 1, Table()->sorted.selectedRow);
        ForgetCalls();
    }

    // The JSON list's three modules, each with a PE header and its share of
    // the n bookmarks; bookmark i lies in module i % 3.
    struct JsonModule {
        uint32_t base;
        const char* name;
        sim::PeHeader header;
    };
    static const JsonModule* JsonModules() {
        static const JsonModule modules[] = {{0x10000000, "alpha", {0x5F000001, 0, 0x1111, true, "alpha.dll"}},
                                             {0x20000000, "beta", {0x5F000002, 0, 0x2222, true, "beta.dll"}},
                                             {0x30000000, "gamma", {0x5F000003, 0, 0, true, "gamma.dll"}}};
        return modules;
    }
    static constexpr int kJsonModuleCount = 3;
    static constexpr uint32_t kMoved = 0x08000000;   // where the import finds every module: higher by this
    uint32_t JsonShare() const { return uint32_t(n_ + kJsonModuleCount - 1) / kJsonModuleCount; }
    uint32_t JsonModuleSize() const { return (0x1000 + JsonShare() * kStride + 0x1000 + 0xFFFF) & ~0xFFFFu; }
    uint32_t JsonAt(int i, uint32_t moved) const {
        return JsonModules()[i % kJsonModuleCount].base + moved + 0x1000 + uint32_t(i / kJsonModuleCount) * kStride;
    }
    static std::string JsonName(int i) { return "bm " + std::to_string(i); }
    static uint8_t JsonActive(int i) { return i % 5 ? 1 : 0; }
    static bool JsonCommented(int i) { return i % 10 == 0; }
    static std::string JsonComment(int i) { return "note " + std::to_string(i); }

    // A fresh host and plug-in with the three modules at their bases plus moved.
    void OpenJsonProgram(uint32_t moved) {
        PluginTest::TearDown();
        PluginTest::SetUp();
        sim::UseLeanTables(true);
        for (int k = 0; k < kJsonModuleCount; ++k) {
            const JsonModule& module = JsonModules()[k];
            sim::PeHeader header = module.header;
            header.imageSize = JsonModuleSize();
            sim::AddModuleImage(module.base + moved, JsonModuleSize(), module.name, header);
            AddBlock(module.base + moved + 0x1000, JsonShare() * kStride + 0x100, 0x90);
        }
        ShowBlock(JsonModules()[0].base + moved + 0x1000, JsonShare() * kStride + 0x100);
        if (g_hiddenPanel) StoreSetting("auto_show", 0);
        ASSERT_EQ(0, Start());
    }

    void JsonRows() {
        sim::TempFolder folder;
        const std::string path = folder.Path("bench.json");
        OpenJsonProgram(0);
        if (HasFatalFailure()) return;
        for (int i = 0; i < n_; ++i) {
            std::vector<uint8_t> body = sim::BookmarkBytes(JsonAt(i, 0), JsonActive(i),
                                                           JsonModules()[i % kJsonModuleCount].name, JsonName(i), "NOP");
            dll.Pluginuddrecord(nullptr, 1, sim::kBookmarkTag, body.size(), body.data());
        }
        ForgetCalls();
        for (int i = 0; i < n_; ++i)
            if (JsonCommented(i)) sim::SetName(JsonAt(i, 0), kHostNameComment, JsonComment(i));
        Record("JSON export, per record", n_,
               Measure(LoadRounds(), n_, [](int) { sim::ResetDisassembler(); }, [&](int) {
                   sim::ChooseFile(path, kJsonType);
                   Action(kOriginPluginMenu, kExport);
               }));
        ASSERT_EQ("Zentrilo: Bookmarks exported successfully!", LastFlash());
        // The same bookmarks as program XML: the shown module's third of them
        // written, all n walked.
        const std::string xmlPath = folder.Path("bench.xml");
        Record("program XML export, per record", n_,
               Measure(LoadRounds(), n_, [](int) { sim::ResetDisassembler(); }, [&](int) {
                   sim::ChooseFile(xmlPath, kProgramXmlType);
                   Action(kOriginPluginMenu, kExport);
               }));
        ASSERT_NE(std::string::npos, LastFlash().find(" exported as program XML, "));

        // The import, its rounds taking turns with those of an exchange file
        // of the same bookmarks, so that both meet the same state of the heap.
        OpenJsonProgram(kMoved);
        if (HasFatalFailure()) return;
        const std::string exchangePath = folder.Path("bench.dat");
        WriteJsonExchangeFile(exchangePath);
        std::vector<double> json, exchange;
        for (int round = 0; round < LoadRounds(); ++round) {
            Reset();
            double start = Now();
            sim::ChooseFile(exchangePath);
            Action(kOriginPluginMenu, kImport);
            exchange.push_back((Now() - start) / n_);
            ASSERT_EQ(n_, dll.zt_Count());
            Reset();
            start = Now();
            sim::ChooseFile(path, kJsonType);
            Action(kOriginPluginMenu, kImport);
            json.push_back((Now() - start) / n_);
        }
        Record("JSON import, per record", n_, Median(json));
        Record("exchange-file import beside the JSON one, per record", n_, Median(exchange));
        CheckJsonRoundTrip();
        ForgetCalls();
    }

    // One module that holds all n bookmarks, for the program XML, which
    // carries one module per file.
    uint32_t XmlModuleSize() const { return (0x1000 + n_ * kStride + 0x1000 + 0xFFFF) & ~0xFFFFu; }
    void OpenXmlProgram(uint32_t moved) {
        PluginTest::TearDown();
        PluginTest::SetUp();
        sim::UseLeanTables(true);
        sim::AddModuleImage(kModuleBase + moved, XmlModuleSize(), "alpha",
                            {0x5F000001, XmlModuleSize(), 0x1111, true, "alpha.dll"});
        AddBlock(kCode + moved, n_ * kStride + 0x100, 0x90);
        ShowBlock(kCode + moved, n_ * kStride + 0x100);
        if (g_hiddenPanel) StoreSetting("auto_show", 0);
        ASSERT_EQ(0, Start());
    }

    // The n bookmarks of one module (names, states, every tenth commented)
    // exported by the plug-in as program XML and as a JSON list, then
    // imported by turns into the module loaded elsewhere: both imports meet
    // the same state of the heap.
    void ProgramXmlRows() {
        sim::TempFolder folder;
        const std::string xmlPath = folder.Path("bench.xml"), jsonPath = folder.Path("alpha.json");
        OpenXmlProgram(0);
        if (HasFatalFailure()) return;
        for (int i = 0; i < n_; ++i) {
            std::vector<uint8_t> body = sim::BookmarkBytes(At(i), JsonActive(i), "alpha", JsonName(i), "NOP");
            dll.Pluginuddrecord(nullptr, 1, sim::kBookmarkTag, body.size(), body.data());
        }
        ForgetCalls();
        for (int i = 0; i < n_; ++i)
            if (JsonCommented(i)) sim::SetName(At(i), kHostNameComment, JsonComment(i));
        sim::ChooseFile(xmlPath, kProgramXmlType);
        Action(kOriginPluginMenu, kExport);
        sim::ChooseFile(jsonPath, kJsonType);
        Action(kOriginPluginMenu, kExport);

        OpenXmlProgram(kMoved);
        if (HasFatalFailure()) return;
        std::vector<double> xml, json;
        for (int round = 0; round < LoadRounds(); ++round) {
            Reset();
            double start = Now();
            sim::ChooseFile(jsonPath, kJsonType);
            Action(kOriginPluginMenu, kImport);
            json.push_back((Now() - start) / n_);
            ASSERT_EQ(n_, dll.zt_Count());
            Reset();
            start = Now();
            sim::ChooseFile(xmlPath, kProgramXmlImportType);
            Action(kOriginPluginMenu, kImport);
            xml.push_back((Now() - start) / n_);
        }
        Record("program XML import, per record", n_, Median(xml));
        Record("JSON import beside the program XML one, per record", n_, Median(json));
        // Every bookmark came back with its name, state and comment.
        const unsigned comments = unsigned(n_ + 9) / 10;
        ASSERT_EQ("Zentrilo: " + std::to_string(n_) + " bookmarks, 0 names, 0 labels, " + std::to_string(comments) +
                      " comments imported!",
                  LastFlash());
        ASSERT_EQ(n_, dll.zt_Count());
        for (int i : {0, 1, 5, 10, n_ / 2, n_ - 1}) {
            const uint32_t address = At(i) + kMoved;
            EXPECT_EQ(sim::Fields(address, JsonActive(i), "alpha", JsonName(i), "NOP"), Bookmark(address))
                << "bookmark " << i;
            EXPECT_EQ(JsonCommented(i) ? JsonComment(i) : "", sim::NameAt(address, kHostNameComment)) << "bookmark " << i;
        }
        ForgetCalls();
    }

    // The same bookmarks, where the import finds their modules, as records
    // relative to the block the pane shows, in address order as in the list.
    void WriteJsonExchangeFile(const std::string& path) const {
        const uint32_t shown = JsonModules()[0].base + kMoved + 0x1000;
        std::vector<int> order(n_);
        for (int i = 0; i < n_; ++i) order[i] = i;
        std::sort(order.begin(), order.end(), [&](int a, int b) { return JsonAt(a, kMoved) < JsonAt(b, kMoved); });
        std::vector<uint8_t> file;
        for (int i : order) {
            std::vector<uint8_t> record =
                sim::ExchangeBytes(JsonAt(i, kMoved) - shown, JsonActive(i), JsonModules()[i % kJsonModuleCount].name,
                                   JsonName(i), "NOP", JsonCommented(i) ? JsonComment(i) : "");
            file.insert(file.end(), record.begin(), record.end());
        }
        ASSERT_TRUE(sim::WriteFileBytes(path, file));
    }

    // Every bookmark came back, each where its module loads now.
    void CheckJsonRoundTrip() {
        ASSERT_EQ("Zentrilo: " + std::to_string(n_) + " bookmarks imported!", LastFlash());
        ASSERT_EQ(n_, dll.zt_Count());
        const std::vector<uint32_t> addresses = BookmarkAddresses();
        ASSERT_EQ(size_t(n_), addresses.size());
        std::vector<uint32_t> expected;
        for (int i = 0; i < n_; ++i) expected.push_back(JsonAt(i, kMoved));
        std::sort(expected.begin(), expected.end());
        ASSERT_TRUE(expected == addresses) << "the imported bookmarks lie elsewhere";
        for (int i : {0, 1, 2, 3, 5, 10, n_ / 2, n_ - 2, n_ - 1}) {
            const uint32_t address = JsonAt(i, kMoved);
            EXPECT_EQ(sim::Fields(address, JsonActive(i), JsonModules()[i % kJsonModuleCount].name, JsonName(i), "NOP"),
                      Bookmark(address))
                << "bookmark " << i;
            EXPECT_EQ(JsonCommented(i) ? JsonComment(i) : "", sim::NameAt(address, kHostNameComment))
                << "bookmark " << i;
        }
    }

    int n_;
};

// Ghidra's export of a large program: the document type inline, data types,
// memory map, code blocks, comments, hundreds of thousands of analysis
// bookmarks and symbols and a function for every few, with the user's 1,000
// Note bookmarks and names among them; about g_ghidraMegabytes MB. Imported
// into the program loaded elsewhere: the time, and what the plug-in held on
// the heap at most beyond what it held after.
int g_ghidraMegabytes = 100;

class GhidraFileBenchmark : public PluginTest {
public:
    void TestBody() override {
        sim::UseLeanTables(true);
        sim::SetExePath("C:\\bench\\target.exe");
        sim::AddModuleImage(kLoaded, kSize, "target", {0x5F000000, kSize, 0, false, "", kLoaded});
        AddBlock(kLoaded + 0x1000, 0x1000, 0x90);
        ShowBlock(kLoaded + 0x1000, 0x1000);
        StoreSetting("auto_show", 0);
        ASSERT_EQ(0, Start());
        sim::TempFolder folder;
        const std::string path = folder.Path("ghidra.xml");
        const double bytes = Write(path);
        sim::StartHeapCount();
        const double start = Now();
        sim::ChooseFile(path, kProgramXmlImportType);
        Action(kOriginPluginMenu, kImport);
        const double seconds = (Now() - start) / 1e6;
        ASSERT_EQ(kNotes, dll.zt_Count()) << LastFlash();
        std::printf("\nProgram XML import of a Ghidra-shaped file of %.1f MB with %d Note bookmarks among its other "
                    "sections:\n  %.2f s, %.1f MB/s; the plug-in's heap at most %.0f KB above what it held after "
                    "(%.0f KB above before)\n  %s\n",
                    bytes / 1e6, kNotes, seconds, bytes / 1e6 / seconds,
                    double(sim::HeapPeak() - sim::HeapHeld()) / 1024, double(sim::HeapPeak()) / 1024,
                    LastFlash().c_str());
    }

private:
    static constexpr uint32_t kPreferred = 0x00400000, kLoaded = 0x01000000, kSize = 0x01000000;
    static constexpr int kNotes = 1000;

    class Out {
    public:
        explicit Out(std::FILE* file) : file_(file) {}
        ~Out() { Flush(); }
        void Add(const char* format, ...) {
            char line[512];
            va_list values;
            va_start(values, format);
            const int length = std::vsnprintf(line, sizeof line, format, values);
            va_end(values);
            buffer_.append(line, size_t(length));
            if (buffer_.size() > (1 << 20)) Flush();
        }
        double written() const { return written_ + double(buffer_.size()); }

    private:
        void Flush() {
            std::fwrite(buffer_.data(), 1, buffer_.size(), file_);
            written_ += double(buffer_.size());
            buffer_.clear();
        }
        std::FILE* file_;
        std::string buffer_;
        double written_ = 0;
    };

    static uint32_t Address(uint32_t i) { return kPreferred + 0x1000 + (i * 0x40) % (kSize - 0x2000); }

    static double Write(const std::string& path) {
        std::FILE* file = std::fopen(path.c_str(), "wb");
        if (!file) return 0;
        double bytes;
        {
            Out out(file);
            const double target = double(g_ghidraMegabytes) * 1e6;
            out.Add("<?xml version=\"1.0\" standalone=\"yes\"?>\n<?program_dtd version=\"1\"?>\n<!DOCTYPE PROGRAM [\n");
            const char* const elements[] = {"INFO_SOURCE", "PROCESSOR", "DATATYPES", "STRUCTURE", "MEMBER",
                                            "MEMORY_MAP", "MEMORY_SECTION", "CODE", "CODE_BLOCK", "COMMENTS",
                                            "COMMENT", "BOOKMARKS", "BOOKMARK", "SYMBOL_TABLE", "SYMBOL",
                                            "FUNCTIONS", "FUNCTION", "ADDRESS_RANGE", "STACK_FRAME", "STACK_VAR"};
            for (const char* element : elements)
                out.Add("<!ELEMENT %s ANY>\n<!ATTLIST %s NAME CDATA #IMPLIED ADDRESS CDATA #IMPLIED TYPE CDATA #IMPLIED"
                        " SIZE CDATA #IMPLIED>\n", element, element);
            out.Add("]>\n<PROGRAM NAME=\"target.exe\" EXE_PATH=\"/C:/bench/target.exe\" EXE_FORMAT=\"Portable "
                    "Executable (PE)\" IMAGE_BASE=\"%08x\">\n", kPreferred);
            out.Add("    <INFO_SOURCE USER=\"bench\" TOOL=\"Ghidra 11.0\" />\n    <PROCESSOR NAME=\"x86\" "
                    "LANGUAGE_PROVIDER=\"x86:LE:32:default:windows\" ENDIAN=\"little\" ADDRESS_MODEL=\"32-bit\" />\n");
            out.Add("    <DATATYPES>\n");
            for (uint32_t k = 0; out.written() < target * 0.15; ++k) {
                out.Add("        <STRUCTURE NAME=\"S_%u\" NAMESPACE=\"/\" SIZE=\"0x20\">\n"
                        "            <REGULAR_CMT>structure %u &amp; its fields</REGULAR_CMT>\n", k, k);
                for (int m = 0; m < 8; ++m)
                    out.Add("            <MEMBER OFFSET=\"0x%x\" DATATYPE=\"dword\" DATATYPE_NAMESPACE=\"/\" "
                            "NAME=\"field_%x\" SIZE=\"0x4\" />\n", m * 4, m * 4);
                out.Add("        </STRUCTURE>\n");
            }
            out.Add("    </DATATYPES>\n    <MEMORY_MAP>\n        <MEMORY_SECTION NAME=\".text\" "
                    "START_ADDR=\"ram:%08x\" LENGTH=\"0x%x\" PERMISSIONS=\"rx\" />\n    </MEMORY_MAP>\n    <CODE>\n",
                    kPreferred + 0x1000, kSize - 0x2000);
            for (uint32_t k = 0; out.written() < target * 0.25; ++k)
                out.Add("        <CODE_BLOCK START=\"ram:%08x\" END=\"ram:%08x\" />\n", Address(k), Address(k) + 0x3F);
            out.Add("    </CODE>\n    <COMMENTS>\n");
            for (uint32_t k = 0; k < 20000; ++k)
                out.Add("        <COMMENT ADDRESS=\"%08x\" TYPE=\"%s\">comment %u</COMMENT>\n", Address(k * 7),
                        k % 3 ? "end-of-line" : "pre", k);
            out.Add("    </COMMENTS>\n    <BOOKMARKS>\n");
            const uint32_t analysis = uint32_t(target * 0.2 / 110);   // bookmarks of Ghidra's analysis
            for (uint32_t k = 0; k < analysis; ++k) {
                if (k % (analysis / kNotes) == 0 && k / (analysis / kNotes) < kNotes)
                    out.Add("        <BOOKMARK ADDRESS=\"%08x\" TYPE=\"Note\" CATEGORY=\"triage\" DESCRIPTION=\"note %u\" />\n",
                            Address(k / (analysis / kNotes) * 13), k);
                out.Add("        <BOOKMARK ADDRESS=\"%08x\" TYPE=\"Analysis\" CATEGORY=\"Found Code\" "
                        "DESCRIPTION=\"Found code from operand reference\" />\n", Address(k));
            }
            out.Add("    </BOOKMARKS>\n    <SYMBOL_TABLE>\n");
            for (uint32_t k = 0; out.written() < target * 0.75; ++k) {
                if (k < uint32_t(kNotes))
                    out.Add("        <SYMBOL ADDRESS=\"%08x\" NAME=\"user_%u\" NAMESPACE=\"\" TYPE=\"global\" "
                            "SOURCE_TYPE=\"USER_DEFINED\" PRIMARY=\"y\" />\n", Address(k * 13), k);
                out.Add("        <SYMBOL ADDRESS=\"%08x\" NAME=\"LAB_%08x\" NAMESPACE=\"\" TYPE=\"global\" "
                        "SOURCE_TYPE=\"ANALYSIS\" PRIMARY=\"y\" />\n", Address(k), Address(k));
            }
            out.Add("    </SYMBOL_TABLE>\n    <FUNCTIONS>\n");
            for (uint32_t k = 0; out.written() < target - 200; ++k)
                out.Add("        <FUNCTION ENTRY_POINT=\"%08x\" NAME=\"FUN_%08x\" LIBRARY_FUNCTION=\"n\">\n"
                        "            <ADDRESS_RANGE START=\"%08x\" END=\"%08x\" />\n"
                        "            <STACK_FRAME LOCAL_VAR_SIZE=\"0x8\" PARAM_OFFSET=\"0x4\" RETURN_ADDR_SIZE=\"0x4\">"
                        "<STACK_VAR STACK_PTR_OFFSET=\"-0x8\" NAME=\"local_8\" DATATYPE=\"undefined4\" SIZE=\"0x4\" />"
                        "</STACK_FRAME>\n        </FUNCTION>\n",
                        Address(k), Address(k), Address(k), Address(k) + 0x3F);
            out.Add("    </FUNCTIONS>\n</PROGRAM>\n");
            bytes = out.written();
        }
        std::fclose(file);
        return bytes;
    }
};

void PrintTable() {
    if (g_rows.empty()) return;
    const int first = g_sizes.front(), last = g_sizes.back();
    std::printf("\nTime per operation in microseconds (median); ratio = cost at n=%d / cost at n=%d\n\n", last, first);
    std::printf("| operation |");
    for (int n : g_sizes) std::printf(" n = %d |", n);
    std::printf(" ratio |\n|---|");
    for (size_t i = 0; i <= g_sizes.size(); ++i) std::printf("---|");
    std::printf("\n");
    for (const std::string& row : g_rows) {
        const std::map<int, double>& cells = g_results[row];
        std::printf("| %s |", row.c_str());
        for (int n : g_sizes) {
            auto cell = cells.find(n);
            cell == cells.end() ? std::printf(" - |") : std::printf(" %.3g |", cell->second);
        }
        auto low = cells.find(first), high = cells.find(last);
        if (low != cells.end() && high != cells.end() && low->second > 0)
            std::printf(" %.2f |\n", high->second / low->second);
        else
            std::printf(" - |\n");
    }
}

// The ratios the JSON rows are held to (at most 3 each): per-record cost at
// the largest n over that at the smallest, and the JSON import over the
// exchange-file import at the largest n.
void PrintJsonRatios() {
    const int first = g_sizes.front(), last = g_sizes.back();
    auto cell = [](const char* row, int n) {
        auto cells = g_results.find(row);
        if (cells == g_results.end()) return 0.0;
        auto found = cells->second.find(n);
        return found == cells->second.end() ? 0.0 : found->second;
    };
    auto ratio = [](double high, double low) { return low > 0 && high > 0 ? high / low : 0.0; };
    const char* const json = "JSON import, per record";
    std::printf("\nJSON rows (goal: each ratio at most 3)\n");
    for (const char* row : {"JSON export, per record", json})
        std::printf("  %-52s n=%d / n=%d: %.2f\n", row, last, first, ratio(cell(row, last), cell(row, first)));
    std::printf("  %-52s at n=%d: %.2f\n", "JSON import / exchange-file import beside it", last,
                ratio(cell(json, last), cell("exchange-file import beside the JSON one, per record", last)));
    std::printf("  %-52s at n=%d: %.2f\n", "JSON import / the exchange-file import row above", last,
                ratio(cell(json, last), cell("import of an exchange file of n records, per record", last)));
    const char* const xml = "program XML import, per record";
    std::printf("\nProgram XML import (goal: at most 2 times the JSON import beside it at n=%d)\n", last);
    std::printf("  %-52s n=%d / n=%d: %.2f\n", xml, last, first, ratio(cell(xml, last), cell(xml, first)));
    std::printf("  %-52s at n=%d: %.2f\n", "program XML import / JSON import beside it", last,
                ratio(cell(xml, last), cell("JSON import beside the program XML one, per record", last)));
}

void ParseArguments(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        std::string argument = argv[i];
        if (argument.rfind("--sizes=", 0) == 0) {
            g_sizes.clear();
            for (const char* at = argv[i] + 8; *at;) {
                char* end;
                g_sizes.push_back(int(std::strtol(at, &end, 10)));
                at = *end == ',' ? end + 1 : end;
                if (end == at && *at) break;
            }
        } else if (argument.rfind("--load-rounds=", 0) == 0) {
            g_loadRounds = std::max(1, std::atoi(argv[i] + 14));
        } else if (argument.rfind("--ghidra-mb=", 0) == 0) {
            g_ghidraMegabytes = std::max(0, std::atoi(argv[i] + 12));
        } else if (argument == "--hidden-panel") {
            g_hiddenPanel = true;
        } else if (argument.rfind("--rounds=", 0) == 0) {
            g_rounds = std::max(1, std::atoi(argv[i] + 9));
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    sim::PrepareHostProcess(nullptr);
    // One CPU, so that the small figures are steady.
    const bool pinned = SetProcessAffinityMask(GetCurrentProcess(), 1) != 0;

    ::testing::InitGoogleTest(&argc, argv);
    ParseArguments(argc, argv);
    std::printf("Zentrilo benchmark: sizes");
    for (int n : g_sizes) std::printf(" %d", n);
    std::printf(", %d rounds; %s%s\n", g_rounds, pinned ? "pinned to one CPU" : "NOT pinned (SetProcessAffinityMask failed)",
                g_hiddenPanel ? "; panel hidden" : "");
    for (int n : g_sizes) {
        ::testing::RegisterTest("Benchmark", ("n" + std::to_string(n)).c_str(), nullptr, nullptr, __FILE__, __LINE__,
                                [n]() -> Benchmark* { return new Benchmark(n); });
    }
    if (g_ghidraMegabytes > 0)
        ::testing::RegisterTest("GhidraFile", "import", nullptr, nullptr, __FILE__, __LINE__,
                                []() -> PluginTest* { return new GhidraFileBenchmark; });
    int result = RUN_ALL_TESTS();
    PrintTable();
    PrintJsonRatios();
    return result;
}
