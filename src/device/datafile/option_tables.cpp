// The section table and option tables of the data file, as the rows in option_tables.h give
// them: constant data, laid out by the compiler, with nothing to build when the program starts.
#include "option_tables.h"

#include "text_classes.h"

size_t OptionTable::find(const char* text) const {
    for (size_t i = 0; i < count; ++i) {
        if (sameText(names[i], text)) return i;
    }
    return count;
}

// NOLINTBEGIN(bugprone-macro-parentheses): the rows' fields are names and initializers.

// A row's names, as many as n says (a count that does not match fails to compile).
#define NAMES_2(a, b) a, b
#define NAMES_3(a, b, c) a, b, c
#define NAMES_4(a, b, c, d) a, b, c, d
#define NAMES_5(a, b, c, d, e) a, b, c, d, e
#define NAMES_6(a, b, c, d, e, f) a, b, c, d, e, f
#define NAMES_7(a, b, c, d, e, f, g) a, b, c, d, e, f, g
#define NAMES_8(a, b, c, d, e, f, g, h) a, b, c, d, e, f, g, h
#define NAMES_16(a, b, c, d, e, f, g, h, i, j, k, l, m, n, o, p) a, b, c, d, e, f, g, h, i, j, k, l, m, n, o, p

// Each option table, defined by the row that gives its names.
#define OPTIONS(name, names)                      \
    const char* const k##name##Names[] = {names}; \
    const OptionTable k##name##Options = {k##name##Names, sizeof k##name##Names / sizeof k##name##Names[0]};
#define SAME_OPTIONS(name)
#define NO_OPTIONS
#define FOLVANE_SECTION_OPTIONS(id, kind, header, options, omitted, function, setFailure, clearFailure, invalidText) \
    options
FOLVANE_SECTIONS(FOLVANE_SECTION_OPTIONS)
#undef OPTIONS
#undef SAME_OPTIONS
#undef NO_OPTIONS

// The section table: the header's length, over which W compares a header line, from its text.
#define OPTIONS(name, names) &k##name##Options
#define SAME_OPTIONS(name) &k##name##Options
#define NO_OPTIONS 0
// clang-format off
#define FOLVANE_SECTION_ROW(id, kind, header, options, omitted, function, setFailure, clearFailure, invalidText) \
    {SectionId::id, EntryKind::kind, header, sizeof(header) - 1, options, omitted, function, setFailure,          \
     clearFailure, invalidText},
// clang-format on
const Section kSections[kSectionCount] = {FOLVANE_SECTIONS(FOLVANE_SECTION_ROW)};

// NOLINTEND(bugprone-macro-parentheses)
