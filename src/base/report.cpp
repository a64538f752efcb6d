#include "base/report.h"

#include <cstdio>
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
    return before;
}

std::string Reporter::release(Held before) {
    std::string held = takeCaptured();
    capturing_ = before.capturing;
    captured_ = std::move(before.captured);
    return held;
}

void Reporter::write(const char* data, size_t size) {
    if (capturing_)
        captured_.append(data, size);
    else
        std::fwrite(data, 1, size, stdout);
}

}  // namespace chromasect
