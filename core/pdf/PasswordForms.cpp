#include "core/pdf/PasswordForms.h"

#include <algorithm>
#include <optional>

#include "core/pdf/UTF8.h"

namespace quillet {

std::vector<Bytes> passwordForms(std::string_view text) {
    std::vector<Bytes> forms{Bytes(text)};
    const std::optional<std::vector<char32_t>> codePoints = UTF8::codePoints(text);
    if (!codePoints ||
        std::any_of(codePoints->begin(), codePoints->end(), [](char32_t c) { return c > 0xFF; }))
        return forms;
    Bytes latin1;
    for (char32_t c : *codePoints) latin1.push_back(static_cast<char>(c));
    if (latin1 != forms.front()) forms.push_back(std::move(latin1));
    return forms;
}

}  // namespace quillet
