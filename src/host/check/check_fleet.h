// FolvaneCheck for a fleet: a unit's settings as the file that R wrote on it shows them, and
// what a golden file's plan would change of them, setting by setting, in W's order.
#pragma once

#include <array>
#include <cstddef>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "check.h"
#include "option_tables.h"

// A unit's settings in the data file's own words, by section in the table's order: an option's
// name; the boot names joined by ", " ("no devices" for none); the marked days joined by ", "
// ("no days" for none), a blank and the time as R writes it; the tag's own text; "set" or
// "not set" for a password. None where the file does not tell the value.
struct UnitSettings {
    std::array<std::optional<std::string>, kSectionCount> values;

    const std::optional<std::string>& operator[](SectionId::Value id) const { return values[id]; }
};

struct UnitFile {
    UnitSettings settings;
    bool wholeFileRead = true;
    // Whether the file holds a section that R writes whatever the unit answers (the passwords,
    // the tag, the choices read without fail): a file with none of them is no file of R's.
    bool holdsAlwaysWrittenSection = false;
    // UTF-16 text or lines that end in CR alone, which R never writes: the file is not read.
    Refusal refusal = Refusal::None;
};

// Reads a file that R wrote, through W's readers, taking its values as R writes them. A value
// given more than once, or in a form that R does not write, is unknown.
UnitFile readUnitFile(FILE* file);

// A setting of a unit that a golden file's plan sets.
struct Difference {
    enum class Kind {
        Change,              // the value would change, or the unit's is unknown
        PasswordNotCompared  // set to a text, which a unit's file cannot show
    };
    Kind kind;
    const Section* section;
    size_t goldenLine;                    // the golden file's line of the call that gives the new value
    std::optional<std::string> oldValue;  // none: unknown
    std::string newValue;

    // As the text line shows them: a tag in double quotes with C escapes, "unknown" for none.
    std::string shownOld() const;
    std::string shownNew() const;
};

// What a golden file does to every unit, held while the file is read: for each setting the
// call that gives it its last value, with its place in W's order. No more than one call per
// setting, however long the file.
class GoldenEffect {
public:
    // The golden file's next call, in W's order.
    void apply(const PlannedCall& call);

    // The effect on the unit's settings: a difference for every setting that the golden file
    // sets and whose value would change or is unknown, in the order W sets them (by the call that
    // gives the last value), and a note for each password set to a text.
    std::vector<Difference> differences(const UnitSettings& unit) const;

private:
    struct Last {
        size_t order = 0;
        PlannedCall call;
    };
    std::array<std::optional<Last>, kSectionCount> last_;
    size_t calls_ = 0;
};

// The golden file's plan applied to the unit's settings, as GoldenEffect::differences.
std::vector<Difference> differences(const CheckReport& golden, const UnitSettings& unit);
