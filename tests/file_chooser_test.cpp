// The file dialogs of the Import... and Export... commands: what they are
// given (the exchange file's type first and chosen, then the bookmark
// lists'), the name they propose, and the commands' silence when the user
// cancels or the CPU pane shows no memory.
#include "host/plugin_fixture.h"

namespace {

constexpr int kImport = 2, kExport = 3;

class FileChooserTest : public PluginTest {
protected:
    void SetUp() override {
        PluginTest::SetUp();
        if (HasFatalFailure()) return;
        ShowBlock(0x401000, 0x1000);
        ASSERT_EQ(0, Start());
    }

    // The name the export's save dialog proposes for this program path.
    std::string ProposedName(const std::string& exePath) {
        sim::SetExePath(exePath);
        Action(kOriginPluginMenu, kExport);
        return sim::FileDialogs().empty() ? "(no dialog)" : sim::FileDialogs().back().initialFile;
    }
};

TEST_F(FileChooserTest, ExportSavesAndImportOpensADatFileOrABookmarkList) {
    sim::SetExePath("C:\\Programs\\my.prog.exe");
    Action(kOriginPluginMenu, kExport);
    Action(kOriginPluginMenu, kImport);

    ASSERT_EQ(2u, sim::FileDialogs().size());
    for (int i = 0; i < 2; ++i) {
        const sim::FileDialogCall& dialog = sim::FileDialogs()[i];
        SCOPED_TRACE(i == 0 ? "export" : "import");
        EXPECT_EQ(i == 0, dialog.save);
        EXPECT_EQ(88u, dialog.structSize);
        EXPECT_EQ(mainWindow_, dialog.owner);
        EXPECT_EQ(GetModuleHandleA(nullptr), dialog.instance);
        EXPECT_EQ(i == 0 ? "Dat files|*.dat|Bookmark list, JSON (*.json)|*.json|Bookmark list, CSV (*.csv)|*.csv|"
                           "x64dbg database (*.dd32)|*.dd32|Ghidra/IDA program XML (*.xml)|*.xml|"
                         : "Dat files|*.dat|Bookmark list, JSON (*.json)|*.json|x64dbg database (*.dd32)|*.dd32|"
                           "Ghidra/IDA program XML (*.xml)|*.xml|",
                  dialog.filter);
        EXPECT_EQ(1u, dialog.filterIndex);
        EXPECT_EQ("", dialog.title);
        EXPECT_EQ("dat", dialog.defaultExtension);
        EXPECT_EQ("my.prog", dialog.initialFile);
        EXPECT_EQ(260u, dialog.maxFile);
        // Overwrite prompt, no read-only box, folder kept, explorer style, resizable.
        EXPECT_EQ(0x0088000Eu, dialog.flags);
    }
    // Both dialogs were cancelled: nothing to say.
    EXPECT_TRUE(Flashes().empty());
    EXPECT_TRUE(Beeps().empty());
}

TEST_F(FileChooserTest, ProposedNameIsTheProgramFileWithoutFolderAndExtension) {
    EXPECT_EQ("target", ProposedName("target.exe"));
    EXPECT_EQ("file", ProposedName("C:\\dir.d\\file"));
    EXPECT_EQ("tool", ProposedName("D:tool.com"));
    EXPECT_EQ("app.x", ProposedName("/unix/style/app.x.y"));
    EXPECT_EQ("", ProposedName(""));
    EXPECT_EQ("", ProposedName("C:\\dir\\"));
    EXPECT_EQ(std::string(255, 'n'), ProposedName("C:\\" + std::string(255, 'n')));
    EXPECT_EQ("", ProposedName("C:\\" + std::string(256, 'n')));

    sim::FailValue(kHostValueExePath);
    EXPECT_EQ("", ProposedName("ignored.exe"));
}

TEST_F(FileChooserTest, NoMemoryShownOnlyBeeps) {
    ShowBlock(0x401000, 0);
    Action(kOriginPluginMenu, kExport);
    Action(kOriginPluginMenu, kImport);
    sim::FailValue(kHostValueCpuPane);
    Action(kOriginPluginMenu, kExport);
    Action(kOriginPluginMenu, kImport);

    EXPECT_EQ((std::vector<UINT>{MB_ICONHAND, MB_ICONHAND, MB_ICONHAND, MB_ICONHAND}), Beeps());
    EXPECT_TRUE(sim::FileDialogs().empty());
    EXPECT_TRUE(Flashes().empty());
}

}  // namespace
