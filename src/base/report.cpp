#include "base/report.h"

#include <cstdio>
#include <utility>
#include <vector>

namespace chromasect {

void Reporter::print(const char* format, ...) {
    char small[512];
    va_list args;
    va_start(args, format);
    va_list again;
    va_copy(again, args);
    const int n = std::vsnprintf(small, sizeof small, format, args);
    va_end(args);
    if (n < 0) {
        va_end(again);
        return;
    }
    if (static_cast<size_t>(n) < sizeof small) {
        va_end(again);
        write(small, static_cast<size_t>(n));
        return;
    }
    std::vector<char> big(static_cast<size_t>(n) + 1);
    std::vsnprintf(big.data(), big.size(), format, again);
    va_end(again);
    write(big.data(), static_cast<size_t>(n));
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
