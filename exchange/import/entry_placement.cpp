#include "exchange/import/entry_placement.h"

#include <windows.h>

#include <cstring>

#include "core/text.h"

namespace zt {

namespace {

bool SameBuild(const ModuleBuild& a, const ModuleBuild& b) {
    return a.timestamp == b.timestamp && a.imageSize == b.imageSize && a.checksum == b.checksum;
}

}  // namespace

bool EntryPlacement::Scan(bool files) { return loaded_.Scan(files); }

const EntryPlacement::Named& EntryPlacement::FindNamed(const ImportEntry& entry) {
    if (namedKey_ == entry.moduleKey && std::strcmp(namedModule_, entry.module) == 0) return named_;
    namedKey_ = entry.moduleKey;
    CopyText(namedModule_, entry.module);
    thereKnown_ = false;
    named_ = {};
    const LoadedModule* module = entry.moduleKey == ModuleKey::kName ? loaded_.Named(entry.module, named_.count)
                                                                      : loaded_.WithFile(entry.module, named_.count);
    if (module) named_.base = module->base, named_.size = module->size;
    return named_;
}

// Whether the module at the entry's recorded address has its name.
bool EntryPlacement::IsNamedModuleThere(const ImportEntry& entry, const HostModule* there) {
    if (!there || entry.moduleKey != ModuleKey::kName) return false;
    if (!thereKnown_ || thereBase_ != there->base) {
        char now[kModuleFieldSize];
        ModuleName(*there, now);
        thereIsNamed_ = lstrcmpiA(now, entry.module) == 0;
        thereBase_ = there->base;
        thereKnown_ = true;
    }
    return thereIsNamed_;
}

bool EntryPlacement::IsOtherBuild(const ImportEntry& entry, uint32_t base) {
    if (!entry.hasBuild) return false;
    if (!buildKnown_ || buildBase_ != base || !SameBuild(buildWanted_, entry.build)) {
        ModuleBuild now;
        otherBuild_ = !(ReadModuleBuild(base, now) && SameBuild(now, entry.build));
        buildBase_ = base;
        buildWanted_ = entry.build;
        buildKnown_ = true;
    }
    return otherBuild_;
}

Where EntryPlacement::Place(const ImportEntry& entry, Target& target) {
    target = {entry.address, false, false, 0, 0};
    if (entry.moduleKey == ModuleKey::kNone) return entry.hasAddress ? Where::kPlaced : Where::kInNoModule;
    const Named& named = FindNamed(entry);
    const HostModule* there = entry.hasAddress ? HostFindModule(entry.address) : nullptr;
    const bool stayed =
        IsNamedModuleThere(entry, there) && (!entry.hasModuleBase || there->base == entry.moduleBase);
    if (stayed) {
        target.moduleBase = there->base;
        target.moduleSize = there->size;
    } else if (named.count == 0 && fallbackSize_ != 0) {
        target.moduleBase = fallbackBase_;
        target.moduleSize = fallbackSize_;
        target.fallback = true;
    } else if (named.count == 0) {
        return Where::kNotLoaded;
    } else if (named.count > 1) {
        return Where::kNotUnique;
    } else {
        target.moduleBase = named.base;
        target.moduleSize = named.size;
    }
    target.otherBuild = IsOtherBuild(entry, target.moduleBase);
    if (stayed && !target.otherBuild) return Where::kPlaced;
    if (!entry.hasOffset) return Where::kNotLoaded;
    if (entry.offset >= target.moduleSize) return Where::kOutside;
    target.address = target.moduleBase + entry.offset;
    return Where::kPlaced;
}

}  // namespace zt
