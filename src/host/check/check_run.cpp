// A data file's run and a fleet's: each file opened, read through the checker or compared with
// the golden file, and its report printed.
#include "check_run.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "check.h"
#include "check_command_line.h"
#include "check_fleet.h"
#include "check_output.h"
#include "host_input.h"

std::string failure(const char* what) { return std::string(what) + " (" + std::strerror(errno) + ")"; }

// Why a file did not open: what is no regular file is named so, whatever the platform's errno.
std::string openFailure(const char* what, const host::Input& input) {
    if (input.notRegular) return std::string(what) + " (not a regular file)";
    errno = input.error;
    return failure(what);
}

namespace {

// A data file that did not open: what is no regular file is named so and `after` follows
// ("skipped", "not compared"); anything else with the system's reason.
void reportUnopened(CheckOutput& out, const wchar_t* path, const host::Input& input, const char* after,
                    const wchar_t* golden = nullptr) {
    if (input.notRegular) {
        out.fileError(path, ErrorCode::NotARegularFile, std::string("not a regular file; ") + after, golden);
    } else {
        out.fileError(path, ErrorCode::CannotOpen, openFailure("cannot open the file", input), golden);
    }
}

}  // namespace

namespace {

// A file's report as it is read: its diagnostics printed at once, its plan kept until they are
// all out, and with --against, the golden file's effect on a unit.
class FileReport final : public CheckSink {  // NOLINT(cppcoreguidelines-virtual-class-destructor)
public:
    FileReport(const wchar_t* path, CheckOutput& out, bool withPlan, GoldenEffect* effect = nullptr)
        : path_(path), out_(out), withPlan_(withPlan), effect_(effect) {}

    // The golden file's diagnostics concern every unit: they are printed under --quiet too.
    void diagnostic(const Diagnostic& d) override { out_.diagnostic(path_, d, effect_ != nullptr); }
    void plannedCall(const PlannedCall& call) override {
        if (withPlan_) plan_.add(call);
        if (effect_ != nullptr) effect_->apply(call);
    }

    // Opens the file and reads it through the checker, then prints the plan. False when the
    // file cannot be opened (reported, with `skipped` after the reason); `planWhole` false when
    // the plan could not be kept whole (reported).
    bool check(const CheckOptions& options, CheckSummary& summary, bool& planWhole, const char* skipped) {
        const host::Input input = host::openInput(path_, true);
        if (input.file == nullptr) {
            reportUnopened(out_, path_, input, skipped);
            return false;
        }
        summary = checkDataFile(input.file, *this, options);
        (void)std::fclose(input.file);
        std::string planFailure;
        planWhole = plan_.print(path_, out_, planFailure);
        if (!planWhole) out_.fileError(path_, ErrorCode::OutputFailed, planFailure);
        return true;
    }

private:
    const wchar_t* path_;
    CheckOutput& out_;
    bool withPlan_;
    GoldenEffect* effect_;
    HeldPlan plan_;
};

}  // namespace

// A file checked alone: its status, and whether it has a warning (also when it has an error).
int checkFile(const wchar_t* path, bool withPlan, CheckOutput& out, bool& hasWarning) {
    FileReport report(path, out, withPlan);
    CheckSummary summary;
    bool planWhole = false;
    const bool opened = report.check({}, summary, planWhole, "skipped");
    hasWarning = opened && summary.hasWarning;
    if (!opened || !summary.wholeFileRead || !planWhole) return kCheckFailed;
    if (summary.refusal != Refusal::None) {
        out.fileError(path, refusalCode(summary.refusal), refusalText(summary.refusal));
        return kCheckFailed;
    }
    return summary.hasWarning ? kCheckWarnings : kCheckClean;
}

int checkSettingsFile(const wchar_t* path, bool withPlan, CheckOutput& out) {
    bool hasWarning = false;
    return checkFile(path, withPlan, out, hasWarning);
}

namespace {

// The differences of one unit's file, compared as it is read; false when it cannot be read.
bool compareUnit(const wchar_t* unit, const wchar_t* golden, const GoldenEffect& effect, CheckOutput& out,
                 size_t& changes) {
    // A FIFO would stall the fleet's run until something wrote to it: no unit's file is one.
    const host::Input input = host::openInput(unit, false);
    if (input.file == nullptr) {
        reportUnopened(out, unit, input, "not compared", golden);
        return false;
    }
    const UnitFile read = readUnitFile(input.file);
    const std::string readFailure = failure("cannot read the file");
    (void)std::fclose(input.file);
    // R writes neither: the file was converted on its way from the unit.
    if (read.refusal != Refusal::None) {
        out.fileError(
            unit, refusalCode(read.refusal),
            std::string(refusalCause(read.refusal)) + " (R writes 8-bit text with LF or CR LF line ends); not compared",
            golden);
        return false;
    }
    if (!read.wholeFileRead) {
        out.fileError(unit, ErrorCode::CannotRead, readFailure + "; not compared", golden);
        return false;
    }
    // A file that R did not write: every setting would be unknown, and the unit would differ in all.
    if (!read.holdsAlwaysWrittenSection) {
        out.fileError(unit, ErrorCode::NotAUnitFile,
                      "not a unit file (none of the sections that R always writes); not compared", golden);
        return false;
    }
    changes = 0;
    for (const Difference& d : effect.differences(read.settings)) {
        out.difference(unit, golden, d);
        if (d.kind == Difference::Kind::Change) ++changes;
    }
    return true;
}

}  // namespace

int checkFleet(const wchar_t* golden, FileNames& units, bool withPlan, CheckOutput& out) {
    CheckOptions options;
    options.golden = true;
    // Of the golden file, only what it does to a unit is kept: the last call of each setting.
    GoldenEffect effect;
    FileReport report(golden, out, withPlan, &effect);
    CheckSummary summary;
    bool planWhole = false;
    // W stops where it cannot read on; no unit is compared with a part of the file.
    if (!report.check(options, summary, planWhole, "no unit compared") || !summary.wholeFileRead) {
        if (out.json()) out.summary(golden, FleetCounts{});  // the run's end, for a script
        return kCheckFailed;
    }
    // Nor with a file that W refuses: a bad golden file never reads as a fleet that matches it.
    if (summary.refusal != Refusal::None) {
        out.fileError(golden, refusalCode(summary.refusal),
                      std::string("W refuses it (") + refusalCause(summary.refusal) + "); no unit compared");
        if (out.json()) out.summary(golden, FleetCounts{});  // the run's end, for a script
        return kCheckFailed;
    }
    FleetCounts counts;
    std::wstring unit;
    while (units.next(unit)) {
        size_t changes = 0;
        if (!compareUnit(unit.c_str(), golden, effect, out, changes)) {
            out.unitDone(unit.c_str(), golden, UnitStatus::Unreadable, 0);
            ++counts.unreadable;
            continue;
        }
        out.unitDone(unit.c_str(), golden, changes == 0 ? UnitStatus::Match : UnitStatus::Differs, changes);
        ++counts.units;
        if (changes > 0) ++counts.differing;
        counts.settings += changes;
    }
    out.summary(golden, counts);
    if (counts.unreadable > 0 || !planWhole || units.failed()) return kCheckFailed;
    return summary.hasWarning || counts.differing > 0 ? kCheckWarnings : kCheckClean;
}
