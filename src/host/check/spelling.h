// "Did you mean": the name that a text most nearly spells, missed by letter case, blanks around
// it, or a letter or two. FolvaneCheck's suggestions for headers, options and boot devices.
#pragma once

#include <cstddef>
#include <optional>
#include <string_view>

// How far a text is from a name, when near enough to suggest it: letter case and blanks around
// the text are free; one or two letters count, but never half of a short name ("X" is not "On").
// With `prefixIsEnough`, a text that begins with the name is the name.
std::optional<size_t> nearness(std::string_view text, std::string_view name, bool prefixIsEnough);

// The nearest of `names` (a range of texts), the first of equally near ones; none when no name
// is near enough.
template <typename Names>
std::optional<std::string_view> closestName(std::string_view text, const Names& names, bool prefixIsEnough = false) {
    std::optional<std::string_view> best;
    size_t bestDistance = 0;
    for (const std::string_view name : names) {
        const std::optional<size_t> d = nearness(text, name, prefixIsEnough);
        if (d && (!best || *d < bestDistance)) {
            best = name;
            bestDistance = *d;
        }
    }
    return best;
}
