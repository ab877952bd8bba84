#include "json_list.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>

namespace fuzz {

namespace {

void AppendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += char(c);
    } else if (c < 0x800) {
        out += char(0xC0 | (c >> 6));
        out += char(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += char(0xE0 | (c >> 12));
        out += char(0x80 | ((c >> 6) & 0x3F));
        out += char(0x80 | (c & 0x3F));
    } else {
        out += char(0xF0 | (c >> 18));
        out += char(0x80 | ((c >> 12) & 0x3F));
        out += char(0x80 | ((c >> 6) & 0x3F));
        out += char(0x80 | (c & 0x3F));
    }
}

void AppendEscape(Rng& rng, std::string& out, unsigned unit) {
    char hex[8];
    std::snprintf(hex, sizeof hex, rng.OneIn(2) ? "\\u%04x" : "\\u%04X", unit);
    out += hex;
}

std::string Separator(Rng& rng, const ListText& text, size_t& at) {
    if (at++ == text.runAt) return text.run;
    switch (rng.Below(8)) {
    case 0: return " ";
    case 1: return "\n";
    case 2: return "\r\n\t ";
    default: return "";
    }
}

std::string JoinObject(Rng& rng, const ListText& text, const Object& object, size_t& at);

std::string JoinArray(Rng& rng, const ListText& text, const std::vector<Object>& objects, size_t& at) {
    std::string out = "[";
    for (size_t i = 0; i < objects.size(); ++i) {
        if (i) out += ",\n";
        out += Separator(rng, text, at) + JoinObject(rng, text, objects[i], at);
    }
    return out + Separator(rng, text, at) + "]";
}

std::string JoinObject(Rng& rng, const ListText& text, const Object& object, size_t& at) {
    std::string out = "{";
    for (size_t i = 0; i < object.size(); ++i) {
        if (i) out += ",";
        out += Separator(rng, text, at) + object[i].key + Separator(rng, text, at) + ":" + Separator(rng, text, at);
        if (object[i].value == kModulesSlot)
            out += JoinArray(rng, text, text.modules, at);
        else if (object[i].value == kEntriesSlot)
            out += JoinArray(rng, text, text.entries, at);
        else
            out += object[i].value;
    }
    return out + Separator(rng, text, at) + "}";
}

void Shuffle(Rng& rng, Object& object) {
    for (size_t i = object.size(); i > 1; --i) std::swap(object[i - 1], object[rng.Below(uint32_t(i))]);
}

}  // namespace

std::string JsonString(Rng& rng, const Text32& text, bool escapes) {
    std::string out = "\"";
    for (char32_t c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += char(c);
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\t') {
            out += "\\t";
        } else if (c < 0x20) {
            AppendEscape(rng, out, unsigned(c));
        } else if (escapes && c == '/' && rng.OneIn(2)) {
            out += "\\/";
        } else if (escapes && rng.OneIn(6)) {
            if (c < 0x10000) {
                AppendEscape(rng, out, unsigned(c));
            } else {
                AppendEscape(rng, out, 0xD800 + ((c - 0x10000) >> 10));
                AppendEscape(rng, out, 0xDC00 + ((c - 0x10000) & 0x3FF));
            }
        } else {
            AppendUtf8(out, c);
        }
    }
    return out + "\"";
}

std::string JsonKey(const char* key) { return std::string("\"") + key + "\""; }

std::string JsonNumber(uint64_t value) { return std::to_string(value); }

Object WriteEntry(Rng& rng, const ListEntry& entry, bool escapes) {
    Object object;
    if (entry.hasAddress) object.push_back({JsonKey("address"), JsonNumber(entry.address)});
    if (!entry.module.empty())
        object.push_back({JsonKey("module"), JsonString(rng, entry.module, escapes)});
    else if (rng.OneIn(3))
        object.push_back({JsonKey("module"), rng.OneIn(2) ? "null" : "\"\""});
    if (entry.hasModuleBase) object.push_back({JsonKey("module_base"), JsonNumber(entry.moduleBase)});
    if (entry.hasOffset) object.push_back({JsonKey("offset"), JsonNumber(entry.offset)});
    const struct {
        const char* key;
        const Text32& text;
    } texts[] = {{"name", entry.name}, {"comment", entry.comment}, {"original_instruction", entry.original},
                 {"current_instruction", entry.current}};
    for (const auto& text : texts) {
        const bool written = &text.text == &entry.comment ? entry.hasComment : !text.text.empty() || !rng.OneIn(4);
        if (written) object.push_back({JsonKey(text.key), JsonString(rng, text.text, escapes)});
    }
    if (entry.hasActive) object.push_back({JsonKey("active"), JsonBool(entry.active)});
    object.push_back({JsonKey("changed"), JsonBool(entry.changed)});
    if (!entry.pattern.empty()) {
        object.push_back({JsonKey("pattern"), "\"" + entry.pattern + "\""});
        object.push_back({JsonKey("pattern_position"), JsonNumber(entry.patternPosition)});
        object.push_back({JsonKey("pattern_unique"), JsonBool(entry.patternUnique)});
        if (!entry.patternPlaces.empty()) {
            std::string places = "[";
            for (uint32_t place : entry.patternPlaces) places += (places.size() > 1 ? "," : "") + JsonNumber(place);
            object.push_back({JsonKey("pattern_places"), places + "]"});
        }
        if (entry.exportNames) object.push_back({JsonKey("export_names"), JsonNumber(entry.exportNames)});
        if (!entry.pointerTargets.empty()) {
            std::string targets = "[";
            for (uint32_t target : entry.pointerTargets) targets += (targets.size() > 1 ? "," : "") + JsonNumber(target);
            object.push_back({JsonKey("pointer_targets"), targets + "]"});
        }
        if (!entry.callerPatterns.empty() || !entry.callerPositions.empty()) {
            std::string patterns = "[", positions = "[";
            for (const std::string& caller : entry.callerPatterns)
                patterns += (patterns.size() > 1 ? ",\"" : "\"") + caller + "\"";
            for (uint32_t position : entry.callerPositions)
                positions += (positions.size() > 1 ? "," : "") + JsonNumber(position);
            object.push_back({JsonKey("caller_patterns"), patterns + "]"});
            object.push_back({JsonKey("caller_positions"), positions + "]"});
        }
        if (!entry.alignKeys.empty()) object.push_back({JsonKey("align_keys"), "\"" + entry.alignKeys + "\""});
    }
    if (rng.OneIn(8)) Shuffle(rng, object);
    return object;
}

ListText WriteList(Rng& rng, const BookmarkList& list, bool escapes) {
    ListText text;
    text.root.push_back({JsonKey("format"), "\"zentrilo-bookmarks\""});
    if (!rng.OneIn(8)) text.root.push_back({JsonKey("version"), rng.OneIn(8) ? "0" : "1"});
    if (!rng.OneIn(4))
        text.root.push_back({JsonKey("program"), JsonString(rng, U"C:\\Programs\\t\u00E4rget/\u4E2D.exe", escapes)});
    if (list.hasModules) text.root.push_back({JsonKey("modules"), kModulesSlot});
    text.root.push_back({JsonKey("bookmarks"), kEntriesSlot});
    if (list.placesRecorded) text.root.push_back({JsonKey("pattern_places_recorded"), "true"});
    if (rng.OneIn(8)) Shuffle(rng, text.root);
    for (const ListModule& module : list.modules) {
        Object object;
        object.push_back({JsonKey("name"), JsonString(rng, module.name, escapes)});
        if (!rng.OneIn(3))
            object.push_back({JsonKey("file"), rng.OneIn(4) ? "null" : JsonString(rng, module.name + U".dll", escapes)});
        if (module.hasBase) object.push_back({JsonKey("base"), JsonNumber(module.base)});
        object.push_back({JsonKey("size"), JsonNumber(module.size)});
        if (module.hasTimestamp) object.push_back({JsonKey("timestamp"), JsonNumber(module.timestamp)});
        if (module.hasImageSize) object.push_back({JsonKey("image_size"), JsonNumber(module.imageSize)});
        if (module.hasChecksum) object.push_back({JsonKey("checksum"), JsonNumber(module.checksum)});
        if (rng.OneIn(8)) Shuffle(rng, object);
        text.modules.push_back(object);
    }
    for (const ListEntry& entry : list.entries) text.entries.push_back(WriteEntry(rng, entry, escapes));
    return text;
}

std::string Join(Rng& rng, const ListText& text) {
    size_t at = 0;
    return text.before + JoinObject(rng, text, text.root, at) + text.after;
}

std::string Utf8(const Text32& text) {
    std::string out;
    for (char32_t c : text) AppendUtf8(out, c);
    return out;
}

std::string Ansi(const Text32& text) {
    std::wstring wide;
    for (char32_t c : text) {
        if (c < 0x10000) {
            wide += wchar_t(c);
        } else {
            wide += wchar_t(0xD800 + ((c - 0x10000) >> 10));
            wide += wchar_t(0xDC00 + ((c - 0x10000) & 0x3FF));
        }
    }
    if (wide.empty()) return "";
    const int length = WideCharToMultiByte(CP_ACP, 0, wide.data(), int(wide.size()), nullptr, 0, nullptr, nullptr);
    std::string out(size_t(std::max(length, 0)), '\0');
    if (length > 0) WideCharToMultiByte(CP_ACP, 0, wide.data(), int(wide.size()), &out[0], length, nullptr, nullptr);
    return out;
}

}  // namespace fuzz
