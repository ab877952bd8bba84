// The bytes of an open file as the JSON reader takes them, through a fixed
// buffer, so that a list of any length is read in bounded memory. It also
// knows where each byte stands (line and column, for messages) and keeps any
// one text (a string or a key) to kLongestJsonText bytes: a longer one ends
// the input there, which the reader reports as an unterminated string; or,
// for files whose long texts are passed over, reaches the reader shortened.
// A byte-order mark at the start of the file is passed over. A number too
// large for the reader to take (more than kMostWholeDigits digits before its
// point, or a positive exponent above kLargestExponent) reaches it without
// its further digits, and numberCut() says so until the next number.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

namespace zt {

constexpr size_t kLongestJsonText = 4096;
constexpr unsigned kMostWholeDigits = 300;
constexpr unsigned kLargestExponent = 300;

// What becomes of a text longer than kLongestJsonText: it ends the input, or
// the reader gets its first kLongestJsonText bytes or a few more, up to the
// end of a character or escape, and the rest is skipped (control characters
// still reach the reader, which refuses them).
enum class LongTexts : uint8_t { kRefuse, kShorten };

class JsonFileStream {
public:
    typedef char Ch;

    JsonFileStream(std::FILE* file, char* buffer, size_t bufferSize, LongTexts longTexts = LongTexts::kRefuse);

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
    bool numberCut() const { return numberCut_; }
    // The 1-based line and column of a byte on the current line (the reader
    // reports faults where it stands).
    void Where(size_t offset, unsigned& line, unsigned& column) const;

private:
    void Fill();
    void Track(Ch c);
    bool AtCharacterStart() const;
    void SkipRestOfText();
    void TrackNumber(Ch c);
    bool NumberTooLarge() const;
    void SkipDigits();

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
    uint8_t hexDigits_ = 0;   // of a \u escape, still to come
    uint16_t code_ = 0;       // of that escape
    bool lowDue_ = false;     // an escaped high surrogate wants its low one
    size_t textLength_ = 0;
    bool cut_ = false;
    const LongTexts longTexts_;
    // Where a number outside the texts stands: not in one, in its whole part,
    // its fraction, after its "e", in its exponent.
    enum NumberPart : uint8_t { kNoNumber, kWhole, kFraction, kExponentSign, kExponent, kNegativeExponent };
    NumberPart numberPart_ = kNoNumber;
    unsigned wholeDigits_ = 0;   // significant ones
    unsigned exponent_ = 0;      // positive, up to kLargestExponent
    bool numberCut_ = false;
};

}  // namespace zt
