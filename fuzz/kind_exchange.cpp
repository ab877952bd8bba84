// Exchange files for Import...: empty, every length around a record's 602
// bytes, random bytes, and records with mutated fields (unterminated texts,
// extreme and wrapping addresses, odd active bytes, module names that differ
// only in case), now and then a read that fails half-way.
#include "host/exchange_bytes.h"
#include "host/file_failure.h"
#include "kinds.h"
#include "session.h"

#include <algorithm>
#include <cstring>
#include <map>

namespace fuzz {

namespace {

constexpr char kImported[] = "Zentrilo: Bookmarks imported successfully!";

std::vector<uint8_t> RandomBytes(Rng& rng, size_t size) {
    std::vector<uint8_t> bytes(size);
    for (uint8_t& byte : bytes) byte = uint8_t(rng.Word());
    return bytes;
}

std::vector<uint8_t> MutatedRecord(Session& session, uint32_t base) {
    Rng& rng = session.rng();
    std::vector<uint8_t> record = sim::ExchangeBytes(0, 1, "target", "n/a", "", "");
    uint32_t relative = session.Address() - base;   // mostly bookmarks that exist or will
    if (rng.OneIn(4)) relative = rng.Pick(std::vector<uint32_t>{0, 0xFFFFFFFF, 0x80000000, 0x7FFFFFFF, 0u - base, rng.Word()});
    std::memcpy(record.data(), &relative, 4);
    if (rng.OneIn(4)) {
        for (size_t at : {4, 8, 12}) {
            const uint32_t word = rng.Word();
            std::memcpy(record.data() + at, &word, 4);
        }
    }
    record[kActiveAt] = uint8_t(rng.Pick(std::vector<uint32_t>{0, 1, 1, 2, 0x80, 0xFF, rng.Word()}));
    const std::vector<std::string> modules = {"target", "TARGET", "Target", "tArGeT", "OTHERMOD", "othermod", "", "other"};
    if (rng.OneIn(3)) {
        FillField(rng, record.data() + kModuleAt, kModuleWidth);
    } else {
        const std::string& module = rng.Pick(modules);
        std::memset(record.data() + kModuleAt, 0, kModuleWidth);
        std::memcpy(record.data() + kModuleAt, module.data(), module.size());
    }
    if (rng.OneIn(6)) {
        const std::string name = rng.OneIn(2) ? "n/a" : kModuleChanged;
        std::memset(record.data() + kNameAt, 0, kNameWidth);
        std::memcpy(record.data() + kNameAt, name.data(), name.size());
    } else {
        FillField(rng, record.data() + kNameAt, kNameWidth);
    }
    FillField(rng, record.data() + kOriginalAt, kOriginalWidth);
    FillField(rng, record.data() + kCommentAt, kCommentWidth);
    return record;
}

std::vector<uint8_t> MakeFile(Session& session, uint32_t base) {
    Rng& rng = session.rng();
    switch (rng.Below(8)) {
    case 0: return {};
    case 1: {
        const size_t records = 1 + rng.Below(8);
        const size_t size = rng.Pick(std::vector<size_t>{601, 602, 603, 602 * records - 1, 602 * records, 602 * records + 1});
        return RandomBytes(rng, size);
    }
    case 2: return RandomBytes(rng, rng.Below(4000));
    default: {
        std::vector<uint8_t> file;
        for (uint32_t n = 1 + rng.Below(8); n > 0; --n) {
            const std::vector<uint8_t> record = MutatedRecord(session, base);
            file.insert(file.end(), record.begin(), record.end());
        }
        const std::vector<uint8_t> tail = RandomBytes(rng, rng.Pick(std::vector<size_t>{0, 0, 0, 1, 601, rng.Below(602)}));
        file.insert(file.end(), tail.begin(), tail.end());
        return file;
    }
    }
}

// What the bookmark at each address must hold after a whole file was read:
// the last record for it wins, then the module check may disable and mark it.
void CheckImported(Session& session, const std::vector<uint8_t>& file, uint32_t base, size_t namesBefore) {
    std::map<uint32_t, const uint8_t*> last;
    for (size_t at = 0; at + kExchangeRecordSize <= file.size(); at += kExchangeRecordSize)
        last[Word(&file[at]) + base] = &file[at];
    for (const auto& [address, record] : last) {
        if (session.dll.zt_Exists(address) != 1) {
            session.Fail("imported " + Hex(address) + " is not bookmarked");
            continue;
        }
        std::string name = FieldText(record + kNameAt, kNameWidth, kNameWidth - 1);
        uint8_t active = record[kActiveAt];
        const std::string module = FieldText(record + kModuleAt, kModuleWidth, kModuleWidth - 1);
        if (const HostModule* now = HostFindModule(address)) {
            const std::string shortName(now->shortName, strnlen(now->shortName, kHostModuleNameLength));
            if (lstrcmpiA(shortName.c_str(), module.c_str()) != 0) {
                active = 0;
                name = kModuleChanged;
            }
        }
        CompareFields(session, address, record, active, name, "the file");
    }
    // Every record hands its comment to the host; the last one for an address stays.
    std::map<uint32_t, std::string> comments;
    const std::vector<sim::NameCall>& names = sim::NameInsertions();
    for (size_t i = namesBefore; i < names.size(); ++i)
        if (names[i].type == kHostNameComment) comments[names[i].address] = names[i].text;
    for (const auto& [address, record] : last) {
        const std::string want = FieldText(record + kCommentAt, kCommentWidth, kCommentWidth - 1);
        if (comments.count(address) == 0 || comments[address] != want)
            session.Fail("the comment given to the host for " + Hex(address) + " is not the file's");
    }
}

}  // namespace

void ExchangeFileInput(Session& session) {
    Rng& rng = session.rng();
    const uint32_t base = session.PaneBase();
    sim::ShowBlock(base, kCodeSize);
    sim::StoreSetting("map_bookmark_name_to_label", int(rng.Below(3)));
    const std::vector<uint8_t> file = MakeFile(session, base);
    const std::string path = session.FilePath("in.dat");
    if (!sim::WriteFileBytes(path, file)) return session.Fail("cannot write the input file");
    const size_t records = file.size() / kExchangeRecordSize;
    const int failingRead = rng.OneIn(8) ? int(1 + rng.Below(uint32_t(records) + 1)) : 0;
    if (failingRead) sim::FailFileRead(failingRead);
    const size_t namesBefore = sim::NameInsertions().size();

    sim::ChooseFile(path);
    session.Action(kOriginPluginMenu, kMenuImport);
    const bool faulted = failingRead && !sim::FileFailurePending();
    sim::ResetFileStubs();

    const std::vector<std::string> flashes = session.NewFlashes();
    const bool success = std::find(flashes.begin(), flashes.end(), kImported) != flashes.end();
    if (file.empty() && !flashes.empty()) return session.Fail("an empty file gave the flash \"" + flashes[0] + "\"");
    if (faulted && success) return session.Fail("import reported success though a read failed");
    if (!file.empty() && !faulted && !success) return session.Fail("import failed with no fault made");
    // The import publishes the caption when it applied a record.
    if ((success && records > 0) || (faulted && failingRead > 1)) session.CaptionPublished();
    if (success) CheckImported(session, file, base, namesBefore);
}

}  // namespace fuzz
