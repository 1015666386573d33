// "Did you mean": letter case and blanks folded away, then an edit distance.
#include "spelling.h"

#include <algorithm>
#include <string>
#include <vector>

#include "text_classes.h"

namespace {

std::string foldedAndTrimmed(std::string_view text) {
    while (!text.empty() && isWhiteSpace(text.front())) text.remove_prefix(1);
    while (!text.empty() && isWhiteSpace(text.back())) text.remove_suffix(1);
    std::string folded(text);
    for (char& c : folded) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return folded;
}

// Edits (a letter added, dropped or changed) that turn `a` into `b`.
size_t editDistance(const std::string& a, const std::string& b) {
    std::vector<size_t> row(b.size() + 1);
    for (size_t j = 0; j <= b.size(); ++j) row[j] = j;
    for (size_t i = 1; i <= a.size(); ++i) {
        size_t diagonal = row[0];
        row[0] = i;
        for (size_t j = 1; j <= b.size(); ++j) {
            const size_t above = row[j];
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
            diagonal = above;
        }
    }
    return row[b.size()];
}

}  // namespace

std::optional<size_t> nearness(std::string_view text, std::string_view name, bool prefixIsEnough) {
    const std::string t = foldedAndTrimmed(text);
    const std::string n = foldedAndTrimmed(name);
    if (t == n || (prefixIsEnough && t.compare(0, n.size(), n) == 0)) return 0;
    if (t.size() > n.size() + 2 || n.size() > t.size() + 2) return std::nullopt;
    const size_t edits = editDistance(t, n);
    if (edits <= 2 && 2 * edits < n.size()) return edits;
    return std::nullopt;
}
