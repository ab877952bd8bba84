// The bytes of an open file as the JSON reader takes them, through a fixed
// buffer, so that a list of any length is read in bounded memory. It also
// knows where each byte stands (line and column, for messages) and keeps any
// one text (a string or a key) to kLongestJsonText bytes: a longer one ends
// the input there, which the reader reports as an unterminated string.
#pragma once

#include <cstddef>
#include <cstdio>

namespace zt {

constexpr size_t kLongestJsonText = 4096;

class JsonFileStream {
public:
    typedef char Ch;

    JsonFileStream(std::FILE* file, char* buffer, size_t bufferSize);

    Ch Peek() const { return cut_ ? '\0' : *current_; }
    Ch Take();
    size_t Tell() const { return consumed_ + static_cast<size_t>(current_ - buffer_); }

    // The reader only reads.
    void Put(Ch) {}
    void Flush() {}
    Ch* PutBegin() { return nullptr; }
    size_t PutEnd(Ch*) { return 0; }

    bool readFailed() const { return readFailed_; }
    bool textTooLong() const { return cut_; }
    // The 1-based line and column of a byte on the current line (the reader
    // reports faults where it stands).
    void Where(size_t offset, unsigned& line, unsigned& column) const;

private:
    void Fill();
    void Track(Ch c);

    std::FILE* const file_;
    char* const buffer_;
    const size_t bufferSize_;
    char* current_;
    size_t filled_ = 0;       // bytes in the buffer, a terminator behind them
    size_t consumed_ = 0;     // bytes of the buffers before this one
    bool ended_ = false;
    bool readFailed_ = false;
    unsigned line_ = 1;
    size_t lineStart_ = 0;
    bool inText_ = false;     // within a string or key
    bool escaped_ = false;    // the byte before was its backslash
    size_t textLength_ = 0;
    bool cut_ = false;
};

}  // namespace zt
