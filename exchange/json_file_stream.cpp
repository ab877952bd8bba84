#include "exchange/json_file_stream.h"

namespace zt {

JsonFileStream::JsonFileStream(std::FILE* file, char* buffer, size_t bufferSize)
    : file_(file), buffer_(buffer), bufferSize_(bufferSize), current_(buffer) {
    Fill();
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
    return c;
}

void JsonFileStream::Track(Ch c) {
    if (c == '\n') {
        ++line_;
        lineStart_ = Tell() + 1;
    }
    if (!inText_) {
        inText_ = c == '"';
        textLength_ = 0;
        return;
    }
    if (escaped_) {
        escaped_ = false;
    } else if (c == '\\') {
        escaped_ = true;
    } else if (c == '"') {
        inText_ = false;
        return;
    }
    if (++textLength_ > kLongestJsonText) cut_ = true;
}

void JsonFileStream::Where(size_t offset, unsigned& line, unsigned& column) const {
    line = line_;
    column = offset >= lineStart_ ? static_cast<unsigned>(offset - lineStart_ + 1) : 1;
}

}  // namespace zt
