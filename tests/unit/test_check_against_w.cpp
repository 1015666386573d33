// FolvaneCheck against R and W on simulated units: R's files pass clean, and for R's files
// mutated at random the plan is exactly the list of set calls that W then makes.
#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "check.h"
#include "check_command_line.h"
#include "datafile.h"
#include "option_tables.h"
#include "sim_scoped_unit.h"
#include "console_capture.h"
#include "sim_unit.h"
#include "test_check_support.h"
#include "test_support.h"

namespace {

using namespace check_testing;

TEST(CheckAgainstR, TheDefaultUnitsFilePassesWithANoteOnly) {
    TempDir dir;
    const std::string path = dir.file("unit.txt");
    retrieve("", path);
    host::ConsoleCapture console;
    EXPECT_EQ(checkSettingsFile(wide(path).c_str(), false), kCheckClean);
    EXPECT_EQ(console.text(),
              path + ":3: note: no entry line under \"Power-On Password\"; W clears the power-on password\n");
}

TEST(CheckAgainstR, FilesOfWellBehavedUnitsHaveNoWarning) {
    Rng rng(20261209);
    TempDir dir;
    const std::string path = dir.file("unit.txt");
    for (int i = 0; i < 300; ++i) {
        const std::string state = randomUnit(rng, true);
        const std::string file = retrieve(state, path);
        const CheckReport report = checkPath(path);
        EXPECT_FALSE(report.hasWarning()) << state << "\n--- file:\n"
                                          << file << "--- report:\n"
                                          << ::testing::PrintToString(printedLines(report, false));
        if (HasFailure()) break;
    }
}

TEST(CheckAgainstW, PlanOfMutatedFilesIsTheSetCallsThatWMakes) {
    Rng rng(7041);
    TempDir dir;
    const std::string source = dir.file("unit.txt");
    const std::string path = dir.file("edited.txt");
    const uint32_t unitModes[] = {0x0000, 0x0001, 0x0102, 0x0003};
    size_t compared = 0;
    size_t dependent = 0;
    size_t warned = 0;
    size_t refused = 0;
    for (int i = 0; i < 600; ++i) {
        const std::string file = mutated(retrieve(randomUnit(rng, pick(rng, 2) == 0), source), rng);
        testing_support::writeFile(path, file);
        const CheckReport report = checkPath(path);
        const uint32_t unitMode = unitModes[pick(rng, 4)];
        // A file that W refuses sets nothing, and the checker plans nothing for it.
        const bool refusedByW = report.refusal != Refusal::None;
        const Lines calls = setCallsOfW(path, "parallel_mode = " + std::to_string(unitMode), refusedByW ? 1 : 0);
        EXPECT_EQ(planOn(report, unitMode, dependent), calls) << "--- file:\n" << file;
        if (HasFailure()) break;
        compared += calls.size();
        if (report.hasWarning()) ++warned;
        if (refusedByW) ++refused;
    }
    // The files must have reached what the comparison is about.
    EXPECT_GT(compared, 5000u);  // one file in eight is refused whole
    EXPECT_GT(dependent, 50u);
    EXPECT_GT(warned, 400u);
    EXPECT_GT(refused, 30u);
}

}  // namespace
