// Project-file records as the host hands them back while it reads a .udd
// file: the plug-in's own tag and the older plug-in's, with short, exact and
// long bodies, and random tags and sizes from 0 to 1,000. Every body ends at
// a no-access page.
#include "kinds.h"
#include "session.h"

#include <cstring>

namespace fuzz {

namespace {

constexpr uint32_t kOwnTag = 0x4C4D440A, kOldTag = 0x236D420A;

std::vector<uint8_t> Body(Session& session, uint32_t tag, size_t size) {
    Rng& rng = session.rng();
    std::vector<uint8_t> body(std::max(size, kRecordSize));
    for (uint8_t& byte : body) byte = uint8_t(rng.Word());
    if (tag == kOwnTag && !rng.OneIn(8)) {
        const uint32_t address = session.Address();
        std::memcpy(body.data(), &address, 4);
        const uint32_t header[3] = {1, 0, kOwnTag};
        if (!rng.OneIn(4)) std::memcpy(body.data() + 4, header, sizeof header);
        body[kActiveAt] = uint8_t(rng.Pick(std::vector<uint32_t>{0, 1, 1, 2, 0xFF, rng.Word()}));
        FillField(rng, body.data() + kModuleAt, kModuleWidth);
        FillField(rng, body.data() + kNameAt, kNameWidth);
        FillField(rng, body.data() + kOriginalAt, kOriginalWidth);
    }
    if (tag == kOldTag) {
        const uint32_t address = session.Address();
        std::memcpy(body.data() + 4, &address, 4);
    }
    body.resize(size);
    return body;
}

}  // namespace

void ProjectRecordInput(Session& session) {
    Rng& rng = session.rng();
    uint32_t tag = rng.Word();
    const uint32_t which = rng.Below(10);
    if (which < 5) tag = kOwnTag;
    else if (which < 8) tag = kOldTag;
    else if (which == 8) tag = (rng.OneIn(2) ? kOwnTag : kOldTag) ^ (1u << rng.Below(32));
    size_t size = rng.Below(1001);
    if (tag == kOwnTag && rng.OneIn(2)) size = rng.Pick(std::vector<size_t>{kRecordSize, kRecordSize, kRecordSize - 1, kRecordSize + 1, 0, 4, 8});
    if (tag == kOldTag && rng.OneIn(2)) size = rng.Pick(std::vector<size_t>{8, 8, 0, 4, 7, 9});
    int loadOld = 0;
    if (rng.OneIn(2)) sim::StoreSetting("load_old_bookmarks", int(rng.Pick(std::vector<uint32_t>{0, 1, 2, 0xFFFFFFFF})));
    loadOld = sim::StoredInt("load_old_bookmarks", 0);
    const int isMain = rng.OneIn(10) ? 0 : 1;
    const std::vector<uint8_t> body = Body(session, tag, size);
    const std::vector<uint32_t> before = session.BookmarkAddresses();

    const int result = session.DeliverRecord(tag, body, isMain);

    const std::string what = "a record of tag " + Hex(tag) + ", " + std::to_string(size) + " bytes";
    if (result != 0 && result != 1) return session.Fail(what + " gave " + std::to_string(result));
    const bool own = isMain && tag == kOwnTag, old = isMain && tag == kOldTag;
    if (result == 1 && !own) return session.Fail(what + " was taken as the plug-in's own");
    const bool whole = own && size >= kRecordSize, oldTaken = old && loadOld != 0 && size >= 8;
    if (!whole && !oldTaken) {
        // Refused (a record shorter than the plug-in's may be taken as far as it goes).
        if (result == 1) session.CaptionTotalOnly();
        else if (session.BookmarkAddresses() != before) session.Fail(what + " changed the bookmarks");
        return;
    }
    session.CaptionTotalOnly();   // with position -1
    if (oldTaken) {
        if (session.dll.zt_Exists(Word(body.data() + 4)) != 1) session.Fail(what + ": its address is not bookmarked");
        return;
    }
    if (result != 1) return session.Fail(what + " was refused");
    CompareFields(session, Word(body.data()), body.data(), body[kActiveAt],
                  FieldText(body.data() + kNameAt, kNameWidth, kNameWidth - 1), "the record");
}

}  // namespace fuzz
