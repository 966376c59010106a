#include "core/text_ops.h"

#include <algorithm>
#include <limits>
#include <string_view>

namespace {

// Texts come from C-style sources, so whatever follows a NUL byte is not part of the text.
std::string_view CText(const std::string& text) {
    const std::string_view whole(text);
    return whole.substr(0, whole.find('\0'));
}

} // namespace

int32_t TextLength(const std::string& text) {
    const size_t length = CText(text).size();
    return static_cast<int32_t>(
        std::min<size_t>(length, static_cast<size_t>(std::numeric_limits<int32_t>::max())));
}

std::string Substring(const std::string& text, int32_t start, int32_t length) {
    const std::string_view view = CText(text);
    if (length <= 0) {
        return {};
    }
    const size_t first = start <= 1 ? 0 : static_cast<size_t>(start) - 1;
    if (first >= view.size()) {
        return {};
    }
    return std::string(view.substr(first, static_cast<size_t>(length)));
}

std::string TextField(const std::string& text, int32_t index, const std::string& separator) {
    const std::string_view view = CText(text);
    const std::string_view cut = CText(separator);
    if (cut.empty()) {
        return index <= 1 ? std::string(view) : std::string();
    }
    size_t begin = 0;
    // Bounded by the number of separators, however large the index.
    for (int32_t field = 1; field < index; ++field) {
        const size_t at = view.find(cut[0], begin);
        if (at == std::string_view::npos) {
            return {};
        }
        begin = at + 1;
    }
    const size_t end = view.find(cut[0], begin);
    return std::string(view.substr(begin, end == std::string_view::npos ? end : end - begin));
}

std::string RemoveAll(const std::string& text, const std::string& part) {
    const std::string_view view = CText(text);
    const std::string_view unwanted = CText(part);
    if (unwanted.empty()) {
        return std::string(view);
    }
    std::string result;
    result.reserve(view.size());
    size_t begin = 0;
    for (size_t at = view.find(unwanted); at != std::string_view::npos;
         at = view.find(unwanted, begin)) {
        result.append(view.substr(begin, at - begin));
        begin = at + unwanted.size();
    }
    result.append(view.substr(begin));
    return result;
}

bool TextEquals(const std::string& first, const std::string& second) {
    return CText(first) == CText(second);
}
