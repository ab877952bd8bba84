// What every JSON reader of the plug-in does with RapidJSON's SAX events
// before its own rules: scalars as one kind of value, the key of the member
// being read (kept short: a reader knows only short keys), a stack of what
// each open object or list is, nested no deeper than a limit, and the first
// fault met, as the text of a status message. A number is unsigned when it
// is a whole one from 0 to 2^64 - 1, however written (1, 1.0, 1e0, 10e-1). A reader derives from it,
// names its kinds of frame, and answers OnValue, StartObject, StartArray and
// EndObject.
#pragma once

#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include <rapidjson/reader.h>

#include "core/text.h"
#include "exchange/json/json_file_pass.h"

namespace zt {

enum JsonKind : uint8_t { kNull, kBoolean, kUnsigned, kOtherNumber, kText, kContainer };

// Whether the text of a JSON number is a whole number from 0 to 2^64 - 1,
// and which.
bool ReadWholeNumber(const char* text, size_t length, uint64_t& number);

struct JsonValue {
    JsonKind kind;
    bool boolean;
    uint64_t number;     // kUnsigned
    const char* text;    // kText: length bytes, UTF-8 checked, not terminated
    size_t length;
};

template <typename Reader, typename Frame, int kDeepestNesting>
class JsonEvents {
public:
    const char* fault() const { return fault_; }
    void ReadFrom(const JsonFileStream& stream) { stream_ = &stream; }

    bool Null() { return Value(Scalar(kNull)); }
    bool Bool(bool value) { return Value(Scalar(kBoolean, 0, value)); }
    bool Int(int value) { return value >= 0 ? Uint(static_cast<unsigned>(value)) : Value(Scalar(kOtherNumber)); }
    bool Uint(unsigned value) { return Value(Scalar(kUnsigned, value)); }
    bool Int64(int64_t value) { return value >= 0 ? Uint64(static_cast<uint64_t>(value)) : Value(Scalar(kOtherNumber)); }
    bool Uint64(uint64_t value) { return Value(Scalar(kUnsigned, value)); }
    bool Double(double) { return Value(Scalar(kOtherNumber)); }
    bool RawNumber(const char* text, rapidjson::SizeType length, bool) {
        uint64_t number = 0;
        // A number the stream had to cut is far out of any field's range.
        const bool whole = !(stream_ && stream_->numberCut()) && ReadWholeNumber(text, length, number);
        return Value(whole ? Scalar(kUnsigned, number) : Scalar(kOtherNumber));
    }
    bool String(const char* text, rapidjson::SizeType length, bool) { return Value({kText, false, 0, text, length}); }
    bool Key(const char* text, rapidjson::SizeType length, bool) {
        // Keys the reader knows are short; any other is passed over.
        CopyText(key_, text, length < sizeof key_ ? length : 0);
        if (std::memchr(text, '\0', length)) key_[0] = '\0';
        return true;
    }
    bool EndArray(rapidjson::SizeType) {
        --depth_;
        return true;
    }

    // Keeps the first fault (printf-like) and stops the reader.
    bool Fail(const char* format, ...) {
        if (!fault_[0]) {
            va_list arguments;
            va_start(arguments, format);
            std::vsnprintf(fault_, sizeof fault_, format, arguments);
            va_end(arguments);
        }
        return false;
    }

protected:
    static JsonValue Scalar(JsonKind kind, uint64_t number = 0, bool boolean = false) {
        return {kind, boolean, number, nullptr, 0};
    }
    Frame Top() const { return frames_[depth_ - 1]; }
    bool IsKey(const char* key) const { return std::strcmp(key_, key) == 0; }
    bool Push(Frame frame) {
        if (depth_ == kDeepestNesting) return Fail("nested deeper than %d levels", kDeepestNesting);
        frames_[depth_++] = frame;
        return true;
    }

    int depth_ = 0;
    char key_[32] = "";

private:
    bool Value(const JsonValue& value) { return static_cast<Reader&>(*this).OnValue(value); }

    const JsonFileStream* stream_ = nullptr;
    Frame frames_[kDeepestNesting] = {};
    char fault_[kJsonFaultSize] = "";
};

}  // namespace zt
