// FolvaneCheck on files of any size: the report handed on while the file is read, what it
// becomes where a section's end cannot wait, long texts quoted by their start, and a golden
// file's effect kept without its plan.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "check.h"
#include "check_fleet.h"

namespace {

FILE* openText(const std::string& text) { return fmemopen(const_cast<char*>(text.data()), text.size(), "r"); }

// Each diagnostic with how far the file had been read when it arrived.
class Recorder final : public CheckSink {
public:
    explicit Recorder(FILE* file) : file_(file) {}
    void diagnostic(const Diagnostic& d) override {
        diagnostics.push_back(d);
        readWhenArrived.push_back(std::ftell(file_));
    }
    void plannedCall(const PlannedCall&) override {}

    std::vector<Diagnostic> diagnostics;
    std::vector<long> readWhenArrived;

private:
    FILE* file_;
};

std::vector<Diagnostic> diagnosticsOf(const std::string& text, std::vector<long>* read = nullptr) {
    FILE* file = openText(text);
    Recorder recorder(file);
    EXPECT_TRUE(checkDataFile(file, recorder).wholeFileRead);
    std::fclose(file);
    if (read != nullptr) *read = recorder.readWhenArrived;
    return recorder.diagnostics;
}

std::string repeated(const std::string& text, size_t times) {
    std::string all;
    for (size_t i = 0; i < times; ++i) all += text;
    return all;
}

TEST(CheckStreaming, DiagnosticsArriveWhileTheFileIsRead) {
    // Sections whose end may still be reported at their header hold what follows until then.
    for (const std::string section : {"Numlok\n\t*On\n", "Boot Order\n\tZIP\n\tLAN\n", "Setup Password\n\tx\n"}) {
        const std::string file = section + repeated("Numlok\n", 20000);
        std::vector<long> read;
        const std::vector<Diagnostic> diagnostics = diagnosticsOf(file, &read);
        ASSERT_GE(diagnostics.size(), 20000u) << section;
        EXPECT_LT(read[0], static_cast<long>(file.size() / 4)) << section;
    }
}

TEST(CheckStreaming, ASectionEndBeyondTheHeldLimitKeepsTheLineOrder) {
    const size_t many = kHeldDiagnosticLimit + 100;
    const struct {
        const char* name;
        std::string file;
        std::string end;  // the diagnostic about the section's end
    } cases[] = {
        {"a boot order of unknown names", "Boot Order\n" + repeated("\tZIP\n", many) + "Numlock\n\t*On\n",
         "\"Boot Order\" names no boot device; W leaves the unit with an empty boot order"},
        {"a wake section of lines that name nothing, then 0:00",
         "Wake On RTC\n" + repeated("\tMonday\n\t*Mon\n", many) + "\t0:00\n",
         "the time reads as 0:00, which counts as no time; W sets the wake time to 12:00"},
    };
    for (const auto& c : cases) {
        const std::vector<Diagnostic> diagnostics = diagnosticsOf(c.file);
        size_t ends = 0;
        for (size_t i = 0; i < diagnostics.size(); ++i) {
            if (i > 0) {
                ASSERT_LE(diagnostics[i - 1].line, diagnostics[i].line) << c.name << " at " << i;
            }
            if (diagnostics[i].text != c.end) continue;
            ++ends;
            // Not at the header, whose place is passed: at the line of the last one before it.
            ASSERT_GT(i, kHeldDiagnosticLimit) << c.name;
            EXPECT_EQ(diagnostics[i].line, diagnostics[i - 1].line) << c.name;
        }
        EXPECT_EQ(ends, 1u) << c.name;
    }
    // Below the limit, the end comes at the header, before the entry lines.
    const std::vector<Diagnostic> few = diagnosticsOf("Boot Order\n" + repeated("\tZIP\n", 100));
    ASSERT_EQ(few.size(), 101u);
    EXPECT_EQ(few[0].line, 1u);
    EXPECT_EQ(few[0].text, cases[0].end);
}

TEST(CheckStreaming, AFirstLineBeyondTheHeldLimitIsNoCarriageReturnFile) {
    // The first line's pieces name no section; only after all of them does a carriage return
    // show lines that end so. Their warnings are out by then, so each line says its own.
    const std::string file =
        "Numlock" + repeated(std::string(255, 'x'), kHeldDiagnosticLimit + 10) + "\rNumlock\r\t*On\r";
    const std::vector<Diagnostic> diagnostics = diagnosticsOf(file);
    ASSERT_FALSE(diagnostics.empty());
    EXPECT_EQ(diagnostics.front().text,
              "line longer than 254 characters; W reads it in pieces of 255 characters, each as a line of its own");
    size_t carriageReturns = 0;
    for (const Diagnostic& d : diagnostics) {
        EXPECT_EQ(d.line, 1u);
        carriageReturns += d.text == "carriage return inside the line; W keeps it as part of the text" ? 1u : 0u;
    }
    EXPECT_EQ(carriageReturns, 1u);
}

TEST(CheckStreaming, AFileThatNamesNoSectionIsRefusedAfterAllItsDiagnostics) {
    for (const size_t headers : {size_t{3}, kHeldDiagnosticLimit + 10}) {
        const std::string text = repeated("Numlok\n", headers);
        FILE* file = openText(text);
        Recorder recorder(file);
        EXPECT_EQ(checkDataFile(file, recorder).refusal, Refusal::NoSection) << headers;
        std::fclose(file);
        ASSERT_EQ(recorder.diagnostics.size(), headers);
        EXPECT_EQ(recorder.diagnostics.back().line, headers);
    }
}

TEST(CheckStreaming, TextsTooLongToQuoteShowTheirStartAndLength) {
    const std::string bytes(100, '\x01');  // 4 characters each when quoted
    std::string start;
    for (int i = 0; i < 64; ++i) start += "\\001";
    const std::vector<Diagnostic> diagnostics = diagnosticsOf(bytes + "\nNumlock\n\t" + bytes + "\n");
    ASSERT_EQ(diagnostics.size(), 2u);
    EXPECT_EQ(diagnostics[0].text, "header \"" + start +
                                       "\"... (100 characters) names no section; W skips it and its "
                                       "entry lines");
    EXPECT_EQ(diagnostics[1].text,
              "text \"" + start + "\"... (100 characters) names no option of \"Numlock\"; W ignores the line");
    // A whole piece of plain text is quoted whole.
    EXPECT_EQ(quotedStart(std::string(254, 'a')), "\"" + std::string(254, 'a') + "\"");
}

TEST(CheckStreaming, AUnitsBootOrderLongerThanRWritesIsUnknown) {
    for (const size_t names : {16u, 17u, 40u}) {
        const std::string text = "Boot Order\n" + repeated("\tLAN\n", names);
        FILE* file = openText(text);
        const UnitFile unit = readUnitFile(file);
        std::fclose(file);
        EXPECT_EQ(unit.settings[SectionId::BootOrder].has_value(), names <= kBootSequenceSize) << names;
    }
}

TEST(CheckStreaming, AGoldenFilesEffectIsItsLastCallOfEachSetting) {
    // Numlock set three times, the printer mode (and with it the DMA channel) twice, a channel
    // after it: only the last of each counts, in the order of those last calls.
    const std::string golden = repeated("Numlock\n\t*On\n\t*Off\nPrinter Mode\n\t*EPP\n", 1000) +
                               "Printer Mode\n\t*ECP\nECP Mode Use DMA\n\t*DMA3\nNumlock\n\t*On\n";
    FILE* file = openText(golden);
    GoldenEffect effect;
    struct Feed final : CheckSink {
        explicit Feed(GoldenEffect& e) : effect(e) {}
        void diagnostic(const Diagnostic&) override {}
        void plannedCall(const PlannedCall& call) override { effect.apply(call); }
        GoldenEffect& effect;
    } feed(effect);
    checkDataFile(file, feed);
    std::fclose(file);
    const std::string unitText = "Numlock\n\t*Off\nPrinter Mode\n\t*EPP\n";
    FILE* unitFile = openText(unitText);
    const UnitFile unit = readUnitFile(unitFile);
    std::fclose(unitFile);
    std::vector<std::string> shown;
    for (const Difference& d : effect.differences(unit.settings)) {
        shown.push_back(std::string(d.section->header) + " " + d.shownOld() + " -> " + d.shownNew() + " " +
                        std::to_string(d.goldenLine));
    }
    EXPECT_EQ(shown, (std::vector<std::string>{"Printer Mode EPP -> ECP 5002", "ECP Mode Use DMA unknown -> DMA3 5004",
                                               "Numlock Off -> On 5006"}));
}

}  // namespace
