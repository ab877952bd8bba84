// The counts and positions the plug-in reports (the panel's caption,
// _zt_Count) and navigation's idea of which bookmarks are active follow the
// host's table through every way the set or an active flag changes.
#include "host/allocation_failure.h"
#include "host/exchange_bytes.h"
#include "host/temp_folder.h"
#include "list_window_fixture.h"
#include "res/resource.h"

#include <cstdio>
#include <functional>

namespace {

using namespace listwindow;

constexpr uint32_t kC = kCode + 0x10, kD = kCode + 0x20, kE = kCode + 0x30, kF = kCode + 0x40;
constexpr uint32_t kProbe = kCode + 0x18;  // never kept: toggled on and off to read the caption
constexpr uint32_t kTop = kCode + 0xFF;    // the block's last byte, above every bookmark
constexpr int kClear = 1, kImport = 2, kPopupSwitch = 3;

std::string CaptionOf(int position, int active, int total) {
    char text[64];
    std::snprintf(text, sizeof text, "Bk. (%d/%02d/%d)", position, active, total);
    return text;
}

class BookmarkCountsTest : public ListWindowTest {
protected:
    void SetUp() override {
        ListWindowTest::SetUp();
        if (HasFatalFailure()) return;
        AddModule(0x400000, 0x10000, "target");
        StartWithList();
        ShowBlock(kCode, 0x100);
    }

    void PanelSwitch(uint32_t address) {
        sim::Pane()->selected = address;
        SendMessageA(FindPanel(), WM_COMMAND, MAKEWPARAM(IDC_PANEL_SWITCH, BN_CLICKED), 0);
    }
    void Load(uint32_t address, uint8_t active) {
        DeliverRecord(sim::kBookmarkTag, sim::BookmarkBytes(address, active, "target", "n/a", ""));
    }
    void Import(const std::vector<std::vector<uint8_t>>& records) {
        ASSERT_TRUE(sim::WriteFileBytes(folder_.Path("in.dat"), sim::ExchangeFile(records)));
        sim::ChooseFile(folder_.Path("in.dat"));
        Action(kOriginPluginMenu, kImport);
    }
    static std::vector<uint8_t> Exchanged(uint32_t address, uint8_t active, const char* module = "target") {
        return sim::ExchangeBytes(address - kCode, active, module, "n/a", "", "");
    }

    // Count, caption and navigation's ends against the records in the table.
    void ExpectCountsFollowTable() {
        int total = 0, active = 0, belowProbe = 0;
        std::vector<uint32_t> actives;
        for (uint32_t address : BookmarkAddresses()) {
            ++total;
            belowProbe += address < kProbe;
            if (Bookmark(address)->active) actives.push_back(address);
        }
        active = int(actives.size());
        EXPECT_EQ(total, dll.zt_Count());
        dll.zt_Toggle(kProbe);
        EXPECT_EQ(CaptionOf(belowProbe + 1, active + 1, total + 1), Caption(FindPanel()));
        dll.zt_Toggle(kProbe);
        EXPECT_EQ(CaptionOf(-1, active, total), Caption(FindPanel()));

        size_t moves = sim::SetCpuCalls().size();
        dll.zt_NavigateForward(kCode - 1);
        dll.zt_NavigateBack(kTop);
        std::vector<uint32_t> expected;
        if (!actives.empty()) expected = {actives.front(), actives.back()};
        std::vector<uint32_t> seen;
        for (size_t i = moves; i < sim::SetCpuCalls().size(); ++i) seen.push_back(sim::SetCpuCalls()[i].disasmAddress);
        EXPECT_EQ(expected, seen) << "the lowest and the highest active bookmark";
    }

    sim::TempFolder folder_;
};

TEST_F(BookmarkCountsTest, CountsFollowEveryChangeOfTheSetOrOfAnActiveFlag) {
    const std::pair<const char*, std::function<void()>> steps[] = {
        {"exported toggles add", [&] { for (uint32_t a : {kA, kB, kC, kD}) dll.zt_Toggle(a); }},
        {"panel ! disables", [&] { PanelSwitch(kB); }},
        {"list Space disables", [&] { Select(kC); Press(VK_SPACE); }},
        {"popup enables", [&] { Select(kB); Popup(kPopupSwitch); }},
        {"no memory to enable leaves it disabled", [&] {
             sim::FailNextAllocation();
             PanelSwitch(kC);
             EXPECT_EQ(0, Bookmark(kC)->active);
         }},
        {"exported toggle removes a disabled one", [&] { dll.zt_Toggle(kC); }},
        {"project load adds and disables", [&] { Load(kE, 0); Load(kA, 0); Load(kF, 1); }},
        {"import enables, disables, and disables for a changed module", [&] {
             Import({Exchanged(kA, 1), Exchanged(kD, 0), Exchanged(kC, 1, "other")});
         }},
        {"clear", [&] { Action(kOriginPluginMenu, kClear); }},
        {"loaded again, then reset", [&] {
             Load(kA, 1);
             Load(kB, 0);
             dll.Pluginreset();
         }},
    };
    for (const auto& [what, act] : steps) {
        SCOPED_TRACE(what);
        act();
        ExpectCountsFollowTable();
    }
}

}  // namespace
