// Program XML as Ghidra's program DTD has it: PROGRAM, then INFO_SOURCE,
// PROCESSOR, COMMENTS, BOOKMARKS and SYMBOL_TABLE in that order. Each
// bookmark of the module is a Note bookmark (described by its name unless
// that is a placeholder), its name also a user-defined symbol with white
// space made '_' (Ghidra refuses names with white space), the debugger's
// comment at its address an end-of-line comment. Texts are the debugger's
// code page made UTF-8, escaped.
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "core/bookmark_list.h"
#include "core/store.h"
#include "core/version.h"
#include "exchange/common/file_chooser.h"
#include "exchange/common/file_replace.h"
#include "exchange/common/loaded_modules.h"
#include "exchange/common/preferred_base.h"
#include "exchange/common/status_text.h"
#include "exchange/common/text_encoding.h"
#include "exchange/exchange_file/exchange_record.h"
#include "exchange/ghidra/program_xml.h"

namespace zt {

namespace {

struct Export {
    uint32_t base = 0;        // where the module is loaded
    uint32_t size = 0;
    uint32_t preferred = 0;   // its preferred image base, or its load base
    char file[Utf8SizeFor(kFilePathSize)] = "";
    unsigned exported = 0;
    unsigned elsewhere = 0;   // bookmarks in other modules or in none
};

enum class Escape { kContent, kAttribute, kSymbol };

// UTF-8 text as XML writes it: markup characters as references; in an
// attribute, tabs and line ends as references too, since a reader turns raw
// ones into spaces; in a symbol's name, white space as '_'; control
// characters that XML 1.0 does not allow at all as '?'. Written at once.
void PutEscaped(std::FILE* file, const char* text, Escape escape) {
    // "&quot;" is the longest a byte becomes; no text is longer than a path.
    char escaped[6 * Utf8SizeFor(kFilePathSize)];
    size_t length = 0;
    for (const char* c = text; *c && length + 6 < sizeof escaped; ++c) {
        const unsigned char byte = static_cast<unsigned char>(*c);
        const bool space = byte == ' ' || (byte >= '\t' && byte <= '\r');
        const char* reference = nullptr;
        char number[8];
        if (escape == Escape::kSymbol && space) {
            escaped[length++] = '_';
            continue;
        }
        switch (byte) {
        case '&': reference = "&amp;"; break;
        case '<': reference = "&lt;"; break;
        case '>': reference = "&gt;"; break;
        case '"': reference = "&quot;"; break;
        case '\r': reference = "&#13;"; break;
        case '\t':
        case '\n':
            if (escape == Escape::kAttribute) {
                std::snprintf(number, sizeof number, "&#%u;", byte);
                reference = number;
            }
            break;
        default:
            if (byte < 0x20) reference = "?";
        }
        if (!reference) {
            escaped[length++] = static_cast<char>(byte);
            continue;
        }
        const size_t size = std::strlen(reference);
        std::memcpy(escaped + length, reference, size);
        length += size;
    }
    std::fwrite(escaped, 1, length, file);
}

void PutAddress(std::FILE* file, const Export& out, uint32_t address) {
    std::fprintf(file, "%08x", static_cast<unsigned>(out.preferred + (address - out.base)));
}

bool InModule(const Export& out, uint32_t address) { return address - out.base < out.size; }

// The debugger's comment at the address, UTF-8; empty when there is none.
void CommentAt(uint32_t address, char (&text)[Utf8SizeFor(kCommentFieldSize)]) {
    char comment[kCommentFieldSize] = {};
    text[0] = '\0';
    if (HostFindName(address, kHostNameComment, comment) != 0) AnsiToUtf8(comment, sizeof comment, text, sizeof text);
}

void PutComments(std::FILE* file, const Export& out) {
    std::fputs("    <COMMENTS>\n", file);
    char text[Utf8SizeFor(kCommentFieldSize)];
    for (uint32_t address : g_bookmarks) {
        if (!InModule(out, address) || !FindRecord(address)) continue;
        CommentAt(address, text);
        if (!text[0]) continue;
        std::fputs("        <COMMENT ADDRESS=\"", file);
        PutAddress(file, out, address);
        std::fputs("\" TYPE=\"end-of-line\">", file);
        PutEscaped(file, text, Escape::kContent);
        std::fputs("</COMMENT>\n", file);
    }
    std::fputs("    </COMMENTS>\n", file);
}

void PutBookmarks(std::FILE* file, Export& out) {
    std::fputs("    <BOOKMARKS>\n", file);
    char name[Utf8SizeFor(kNameFieldSize)];
    for (uint32_t address : g_bookmarks) {
        const BookmarkRecord* bookmark = FindRecord(address);
        if (!bookmark) continue;
        if (!InModule(out, address)) {
            ++out.elsewhere;
            continue;
        }
        ++out.exported;
        std::fputs("        <BOOKMARK ADDRESS=\"", file);
        PutAddress(file, out, address);
        std::fprintf(file, "\" TYPE=\"Note\" CATEGORY=\"%s\"",
                     bookmark->active ? kProgramXmlCategory : kProgramXmlDisabledCategory);
        if (!IsPlaceholderName(bookmark->name) &&
            AnsiToUtf8(bookmark->name, sizeof bookmark->name, name, sizeof name) != 0) {
            std::fputs(" DESCRIPTION=\"", file);
            PutEscaped(file, name, Escape::kAttribute);
            std::fputc('"', file);
        }
        std::fputs(" />\n", file);
    }
    std::fputs("    </BOOKMARKS>\n", file);
}

void PutSymbols(std::FILE* file, const Export& out) {
    std::fputs("    <SYMBOL_TABLE>\n", file);
    char name[Utf8SizeFor(kNameFieldSize)];
    for (uint32_t address : g_bookmarks) {
        const BookmarkRecord* bookmark = FindRecord(address);
        if (!bookmark || !InModule(out, address) || IsPlaceholderName(bookmark->name) ||
            AnsiToUtf8(bookmark->name, sizeof bookmark->name, name, sizeof name) == 0)
            continue;
        std::fputs("        <SYMBOL ADDRESS=\"", file);
        PutAddress(file, out, address);
        std::fputs("\" NAME=\"", file);
        PutEscaped(file, name, Escape::kSymbol);
        std::fputs("\" TYPE=\"global\" SOURCE_TYPE=\"USER_DEFINED\" PRIMARY=\"y\" />\n", file);
    }
    std::fputs("    </SYMBOL_TABLE>\n", file);
}

bool WriteProgram(std::FILE* file, void* context) {
    Export& out = *static_cast<Export*>(context);
    out.exported = out.elsewhere = 0;
    // Without the program_dtd instruction Ghidra takes the file for an old
    // format and imports nothing.
    std::fputs("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<?program_dtd version=\"1\"?>\n<PROGRAM NAME=\"", file);
    PutEscaped(file, out.file, Escape::kAttribute);
    std::fprintf(file, "\" EXE_FORMAT=\"Portable Executable (PE)\" IMAGE_BASE=\"%08x\">\n",
                 static_cast<unsigned>(out.preferred));
    std::fputs("    <INFO_SOURCE TOOL=\"Zentrilo " ZT_VERSION_TEXT "\" />\n"
               "    <PROCESSOR NAME=\"x86\" LANGUAGE_PROVIDER=\"x86:LE:32:default:windows\" ENDIAN=\"little\""
               " ADDRESS_MODEL=\"32-bit\" />\n",
               file);
    PutComments(file, out);
    PutBookmarks(file, out);
    PutSymbols(file, out);
    std::fputs("</PROGRAM>\n", file);
    return std::ferror(file) == 0;
}

}  // namespace

void ExportProgramXml(const char* path, const HostCpuPane& pane) {
    const HostModule* module = HostFindModule(pane.blockBase);
    char file[kFilePathSize] = "";
    if (module) ReadModuleFileName(module->base, file, sizeof file);
    if (!module || !file[0]) {
        HostFlash("[ERROR]: Nothing exported! The CPU pane shows no module whose file name is known.");
        return;
    }
    Export out;
    out.base = module->base;
    out.size = module->size;
    const bool fromFile = FindPreferredBase(out.base, out.preferred);
    AnsiToUtf8(file, sizeof file, out.file, sizeof out.file);
    if (!ReplaceFileWith(path, &WriteProgram, &out)) {
        HostFlash("[ERROR]: Nothing exported!");
        return;
    }
    StatusText text = "";
    AppendText(text, "Zentrilo: %u bookmarks of %s exported as program XML", out.exported, file);
    const CountedReason reasons[] = {{out.elsewhere, "in other modules"}};
    AppendSkipped(text, reasons, 1);
    if (!fromFile) AppendText(text, "; its file was not found: image base %08x is where it is loaded", out.preferred);
    HostFlash("%s!", text);
}

}  // namespace zt
