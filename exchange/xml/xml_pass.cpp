#include "exchange/xml/xml_pass.h"

#include <cstdarg>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <new>

#include "exchange/xml/expat_parser.h"

// Without it Expat does not bound the expansion of entities.
#ifndef XML_DTD
#error "Expat must be built and used with XML_DTD"
#endif

namespace zt {

namespace {

constexpr size_t kChunkSize = 65536;
// All the parser may hold at once: the chunk, the longest start tag or text
// piece not yet handed on, the document type's declarations, the open
// elements' names.
constexpr size_t kParserBudget = 4u << 20;
// Entities may expand a document a hundredfold, once this much was read.
constexpr unsigned long long kAmplificationThreshold = 1u << 20;
constexpr float kLargestAmplification = 100.0f;

// The parser's memory, counted. The plug-in runs one pass at a time, on
// the debugger's thread.
size_t g_parserMemory = 0;
bool g_overBudget = false;

union BlockHead {
    size_t size;
    max_align_t alignment;
};

void* Allocate(size_t size) {
    if (size > kParserBudget - g_parserMemory) {
        g_overBudget = true;
        return nullptr;
    }
    auto* head = static_cast<BlockHead*>(std::malloc(sizeof(BlockHead) + size));
    if (!head) return nullptr;
    head->size = size;
    g_parserMemory += size;
    return head + 1;
}

void Release(void* block) {
    if (!block) return;
    BlockHead* head = static_cast<BlockHead*>(block) - 1;
    g_parserMemory -= head->size;
    std::free(head);
}

void* Reallocate(void* block, size_t size) {
    if (!block) return Allocate(size);
    BlockHead* head = static_cast<BlockHead*>(block) - 1;
    const size_t old = head->size;
    if (size > old && size - old > kParserBudget - g_parserMemory) {
        g_overBudget = true;
        return nullptr;
    }
    auto* grown = static_cast<BlockHead*>(std::realloc(head, sizeof(BlockHead) + size));
    if (!grown) return nullptr;
    grown->size = size;
    g_parserMemory = g_parserMemory - old + size;
    return grown + 1;
}

const XML_Memory_Handling_Suite kMemory = {Allocate, Reallocate, Release};

class ParserHolder {
public:
    explicit ParserHolder(XML_Parser parser) : parser_(parser) {}
    ParserHolder(const ParserHolder&) = delete;
    ParserHolder& operator=(const ParserHolder&) = delete;
    ~ParserHolder() {
        if (parser_) XML_ParserFree(parser_);
    }
    XML_Parser get() const { return parser_; }

private:
    XML_Parser parser_;
};

}  // namespace

const char* XmlAttribute(const char* const* attributes, const char* name) {
    for (; attributes[0]; attributes += 2)
        if (std::strcmp(attributes[0], name) == 0) return attributes[1];
    return nullptr;
}

// An exception must not pass through the parser's C code: it is kept, the
// pass stopped, and thrown again once the parser returned.
struct XmlPass::Callbacks {
    template <typename Call>
    static void Guarded(void* data, Call call) {
        auto* pass = static_cast<XmlPass*>(data);
        if (pass->stopped_) return;
        try {
            call(*pass->events_);
        } catch (...) {
            pass->failure_ = std::current_exception();
            pass->Stop();
        }
    }
    static void OnStart(void* data, const XML_Char* name, const XML_Char** attributes) {
        Guarded(data, [&](XmlEvents& events) { events.StartElement(name, attributes); });
    }
    static void OnEnd(void* data, const XML_Char*) {
        Guarded(data, [](XmlEvents& events) { events.EndElement(); });
    }
    static void OnText(void* data, const XML_Char* text, int length) {
        Guarded(data, [&](XmlEvents& events) { events.Text(text, static_cast<size_t>(length)); });
    }
};

void XmlPass::Fail(const char* format, ...) {
    if (stopped_) return;
    const auto parser = static_cast<XML_Parser>(parser_);
    char what[kReadFaultSize];
    va_list values;
    va_start(values, format);
    std::vsnprintf(what, sizeof what, format, values);
    va_end(values);
    std::snprintf(fault_, sizeof fault_, "%s (line %lu, column %lu)", what,
                  static_cast<unsigned long>(XML_GetCurrentLineNumber(parser)),
                  static_cast<unsigned long>(XML_GetCurrentColumnNumber(parser) + 1));
    Stop();
}

void XmlPass::Stop() {
    if (stopped_) return;
    stopped_ = true;
    XML_StopParser(static_cast<XML_Parser>(parser_), XML_FALSE);
}

XmlPass::Outcome XmlPass::Read(std::FILE* file, XmlEvents& events) {
    g_parserMemory = 0;
    g_overBudget = false;
    ParserHolder holder(NewXmlParser(&kMemory));
    const XML_Parser parser = holder.get();
    if (!parser) throw std::bad_alloc();
    parser_ = parser;
    events_ = &events;
    stopped_ = false;
    failure_ = nullptr;
    fault_[0] = '\0';
    XML_SetParamEntityParsing(parser, XML_PARAM_ENTITY_PARSING_NEVER);
    XML_SetBillionLaughsAttackProtectionActivationThreshold(parser, kAmplificationThreshold);
    XML_SetBillionLaughsAttackProtectionMaximumAmplification(parser, kLargestAmplification);
    XML_SetUserData(parser, this);
    XML_SetElementHandler(parser, Callbacks::OnStart, Callbacks::OnEnd);
    XML_SetCharacterDataHandler(parser, Callbacks::OnText);

    bool last = false;
    while (!last) {
        void* buffer = XML_GetBuffer(parser, kChunkSize);
        size_t count = 0;
        if (buffer) {
            count = std::fread(buffer, 1, kChunkSize, file);
            if (std::ferror(file)) return kReadFailed;
            last = count < kChunkSize;
        }
        if (buffer && XML_ParseBuffer(parser, static_cast<int>(count), last) == XML_STATUS_OK) continue;
        if (failure_) std::rethrow_exception(failure_);
        if (stopped_) return fault_[0] ? kFaulty : kStopped;
        const XML_Error error = XML_GetErrorCode(parser);
        const unsigned long line = XML_GetCurrentLineNumber(parser);
        const unsigned long column = XML_GetCurrentColumnNumber(parser) + 1;
        if (error == XML_ERROR_NO_MEMORY && !g_overBudget) throw std::bad_alloc();
        if (error == XML_ERROR_NO_MEMORY)
            std::snprintf(fault_, sizeof fault_, "a tag or text too long to read (line %lu, column %lu)", line,
                          column);
        else
            std::snprintf(fault_, sizeof fault_, "not valid XML, %s (line %lu, column %lu)", XML_ErrorString(error),
                          line, column);
        return kFaulty;
    }
    return kWhole;
}

}  // namespace zt
