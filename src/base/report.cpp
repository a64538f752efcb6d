#include "base/report.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <utility>

namespace chromasect {

std::string formatTextV(const char* format, va_list args) {
    va_list again;
    va_copy(again, args);
    const int n = std::vsnprintf(nullptr, 0, format, args);
    std::string text(n > 0 ? static_cast<size_t>(n) : 0, '\0');
    if (n > 0) std::vsnprintf(&text[0], text.size() + 1, format, again);
    va_end(again);
    return text;
}

std::string formatText(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::string text = formatTextV(format, args);
    va_end(args);
    return text;
}

void Reporter::print(const char* format, ...) {
    va_list args;
    va_start(args, format);
    const std::string text = formatTextV(format, args);
    va_end(args);
    write(text.data(), text.size());
}

void Reporter::line(const std::string& text) {
    write(text.data(), text.size());
    write("\n", 1);
}

void Reporter::flush() {
    if (!capturing_) std::fflush(stdout);
}

std::string Reporter::takeCaptured() {
    std::string out;
    out.swap(captured_);
    return out;
}

Reporter::Held Reporter::hold() {
    Held before{capturing_, takeCaptured()};
    capturing_ = true;
    ++holds_;
    return before;
}

std::string Reporter::release(Held before) {
    std::string held = takeCaptured();
    capturing_ = before.capturing;
    captured_ = std::move(before.captured);
    --holds_;
    return held;
}

void Reporter::keepWarnings(const char* data, size_t size) {
    static const std::string kPrefix = "WARNING| ";
    for (size_t i = 0; i < size; ++i) {
        const char c = data[i];
        if (c == '\n' || c == '\r') {
            if (line_.size() >= kPrefix.size()) warnings_.push_back(line_);
            line_.clear();
            lineStart_ = true;
            continue;
        }
        // Only a line that still matches the prefix is kept.
        if (lineStart_ || !line_.empty()) {
            line_ += c;
            const size_t n = std::min(line_.size(), kPrefix.size());
            if (line_.compare(0, n, kPrefix, 0, n) != 0) line_.clear();
        }
        lineStart_ = false;
    }
}

void Reporter::write(const char* data, size_t size) {
    if (holds_ == 0) keepWarnings(data, size);
    if (capturing_)
        captured_.append(data, size);
    else {
        std::fwrite(data, 1, size, stdout);
        // A log file or a pipe shows each line as it comes, not at the end.
        if (std::memchr(data, '\n', size) || std::memchr(data, '\r', size)) std::fflush(stdout);
    }
}

}  // namespace chromasect
