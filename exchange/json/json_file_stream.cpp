#include "exchange/json/json_file_stream.h"

#include <cstring>

namespace zt {

JsonFileStream::JsonFileStream(std::FILE* file, char* buffer, size_t bufferSize, LongTexts longTexts)
    : file_(file), buffer_(buffer), bufferSize_(bufferSize), current_(buffer), longTexts_(longTexts) {
    Fill();
    // The UTF-8 byte-order mark that Notepad writes: columns count from behind it.
    if (filled_ >= 3 && std::memcmp(buffer_, "\xEF\xBB\xBF", 3) == 0) {
        current_ += 3;
        lineStart_ = 3;
        if (current_ == buffer_ + filled_) Fill();
    }
}

void JsonFileStream::Fill() {
    consumed_ += filled_;
    filled_ = ended_ ? 0 : std::fread(buffer_, 1, bufferSize_ - 1, file_);
    if (filled_ == 0) {
        ended_ = true;
        readFailed_ = std::ferror(file_) != 0;
    }
    buffer_[filled_] = '\0';
    current_ = buffer_;
}

JsonFileStream::Ch JsonFileStream::Take() {
    if (cut_ || ended_) return '\0';
    const Ch c = *current_;
    Track(c);
    if (++current_ == buffer_ + filled_) Fill();
    if (longTexts_ == LongTexts::kShorten && inText_ && textLength_ >= kLongestJsonText && AtCharacterStart())
        SkipRestOfText();
    if (numberPart_ != kNoNumber && NumberTooLarge()) SkipDigits();
    return c;
}

void JsonFileStream::TrackNumber(Ch c) {
    const bool digit = c >= '0' && c <= '9';
    const bool exponentMark = c == 'e' || c == 'E';
    switch (numberPart_) {
    case kNoNumber:
        if (!digit && c != '-') return;
        numberPart_ = kWhole;
        wholeDigits_ = exponent_ = 0;
        numberCut_ = false;
        break;
    case kWhole:
    case kFraction:
        if (c == '.' && numberPart_ == kWhole) numberPart_ = kFraction;
        else if (exponentMark) numberPart_ = kExponentSign;
        else if (!digit) numberPart_ = kNoNumber;
        break;
    case kExponentSign:
        numberPart_ = c == '-' ? kNegativeExponent : digit || c == '+' ? kExponent : kNoNumber;
        break;
    case kExponent:
    case kNegativeExponent:
        if (!digit) numberPart_ = kNoNumber;
        break;
    }
    if (!digit) return;
    if (numberPart_ == kWhole && (wholeDigits_ || c != '0')) ++wholeDigits_;
    if (numberPart_ == kExponent) exponent_ = exponent_ * 10 + static_cast<unsigned>(c - '0');
}

// The reader would refuse the number with the next byte, a digit.
bool JsonFileStream::NumberTooLarge() const {
    const char next = *current_;
    if (ended_ || next < '0' || next > '9') return false;
    if (numberPart_ == kWhole) return wholeDigits_ >= kMostWholeDigits;
    return numberPart_ == kExponent && exponent_ * 10 + static_cast<unsigned>(next - '0') > kLargestExponent;
}

void JsonFileStream::SkipDigits() {
    numberCut_ = true;
    while (!ended_ && *current_ >= '0' && *current_ <= '9') {
        if (++current_ == buffer_ + filled_) Fill();
    }
}

// The next byte begins a character of the text, outside any escape.
bool JsonFileStream::AtCharacterStart() const {
    return !escaped_ && hexDigits_ == 0 && !lowDue_ && (static_cast<unsigned char>(*current_) & 0xC0) != 0x80;
}

// Up to the text's closing quote, or a control character.
void JsonFileStream::SkipRestOfText() {
    bool escaped = false;
    while (!ended_) {
        const unsigned char c = static_cast<unsigned char>(*current_);
        if ((c == '"' && !escaped) || c < 0x20) break;
        escaped = !escaped && c == '\\';
        if (++current_ == buffer_ + filled_) Fill();
    }
}

void JsonFileStream::Track(Ch c) {
    if (c == '\n') {
        ++line_;
        lineStart_ = Tell() + 1;
    }
    if (!inText_) {
        inText_ = c == '"';
        textLength_ = 0;
        TrackNumber(c);
        return;
    }
    if (hexDigits_) {
        const int digit = c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10;
        code_ = static_cast<uint16_t>(code_ * 16 + digit);
        // A low surrogate ends the pair; a high one begins it.
        if (--hexDigits_ == 0) lowDue_ = !lowDue_ && code_ >= 0xD800 && code_ <= 0xDBFF;
    } else if (escaped_) {
        escaped_ = false;
        if (c == 'u') {
            hexDigits_ = 4;
            code_ = 0;
        } else {
            lowDue_ = false;
        }
    } else if (c == '\\') {
        escaped_ = true;
    } else if (c == '"') {
        inText_ = false;
        lowDue_ = false;
        return;
    } else {
        lowDue_ = false;
    }
    if (++textLength_ > kLongestJsonText && longTexts_ == LongTexts::kRefuse) cut_ = true;
}

void JsonFileStream::Where(size_t offset, unsigned& line, unsigned& column) const {
    line = line_;
    column = offset >= lineStart_ ? static_cast<unsigned>(offset - lineStart_ + 1) : 1;
}

}  // namespace zt
