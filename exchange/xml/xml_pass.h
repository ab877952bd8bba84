// One pass of Expat's streaming reader over an open file, for the reader of
// program XML: the file through a fixed buffer, the parser's memory held to a
// budget whatever the file holds (a start tag of 100 MB is a fault of the
// file's, not a lack of memory), entity expansion bounded, no external
// entity or document type loaded, and a fault as a status text with its line
// and column.
#pragma once

#include <cstddef>
#include <cstdio>
#include <exception>

#include "exchange/import/import_entry.h"

namespace zt {

// What a pass hears of the document. Attributes are name and value pairs
// ending in a null name; texts are UTF-8.
class XmlEvents {
public:
    virtual void StartElement(const char* name, const char* const* attributes) = 0;
    virtual void EndElement() = 0;
    virtual void Text(const char* text, size_t length) = 0;

protected:
    ~XmlEvents() = default;
};

// The value of the attribute of this name, or null.
const char* XmlAttribute(const char* const* attributes, const char* name);

class XmlPass {
public:
    enum Outcome : unsigned char { kWhole, kStopped, kFaulty, kReadFailed };

    XmlPass() = default;
    XmlPass(const XmlPass&) = delete;
    XmlPass& operator=(const XmlPass&) = delete;

    // Reads the file from where it stands to its end, or until an event
    // stops the pass. kFaulty with the reason in fault(). A lack of memory
    // throws std::bad_alloc, never through the parser.
    Outcome Read(std::FILE* file, XmlEvents& events);

    // From an event: ends the pass with a fault of the file's, said at the
    // element's line and column.
    void Fail(const char* format, ...) __attribute__((format(printf, 2, 3)));
    // From an event: ends the pass; what was heard is enough.
    void Stop();

    const char* fault() const { return fault_; }

    // For the parser's callbacks.
    struct Callbacks;

private:
    void* parser_ = nullptr;
    XmlEvents* events_ = nullptr;
    bool stopped_ = false;
    std::exception_ptr failure_;   // thrown by an event, thrown again after the parser returned
    char fault_[kReadFaultSize] = "";
};

}  // namespace zt
