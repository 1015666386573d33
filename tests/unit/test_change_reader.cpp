// The readers of W: what they decide from a data file's lines, recorded without a unit.
#include <gtest/gtest.h>

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "change_reader.h"

namespace {

const char* reasonName(PassReason::Value r) {
    switch (r) {
        case PassReason::EntryBeforeFirstHeader: return "before-header";
        case PassReason::UnknownHeader: return "unknown-header";
        case PassReason::BlankEntry: return "blank";
        case PassReason::UnmarkedOption: return "unmarked";
        case PassReason::UnknownOption: return "unknown-option";
        case PassReason::ExtraPasswordLine: return "extra-password";
        case PassReason::BlankPassword: return "blank-password";
        case PassReason::EcpDmaModeUnread: return "mode-unread";
        case PassReason::EcpDmaBelowEcp: return "below-ecp";
        case PassReason::BootNameUnknown: return "boot-unknown";
        case PassReason::BootListFull: return "boot-full";
        case PassReason::TimeWithoutColon: return "no-colon";
        case PassReason::InRefusedSection: return "refused-section";
    }
    return "?";
}

// Every event as one line "LINE: what", unmarked and known options left out for brevity.
class Recorder final : public ChangeEvents {
public:
    std::vector<std::string> events;
    std::optional<uint32_t> parallelMode = 0x0102;
    bool unknownMode = false;
    const char* lastPassword = nullptr;

    void add(size_t line, const std::string& what) { events.push_back(std::to_string(line) + ": " + what); }

    void sectionStarted(size_t line, const Section& s, const char*, size_t) override {
        add(line, "[" + std::string(s.header) + "]");
    }
    void setPassword(size_t line, const Section& s, const char* text) override {
        lastPassword = text;
        add(line, std::string(s.id == SectionId::SetupPassword ? "admin" : "user") + "=\"" + text + "\"");
    }
    void clearPassword(size_t line, const Section& s) override {
        add(line, std::string(s.id == SectionId::SetupPassword ? "admin" : "user") + " cleared");
    }
    void setAssetTag(size_t line, const Section&, const char* text) override { add(line, "tag=\"" + std::string(text) + "\""); }
    void setChoice(size_t line, const Section& s, uint32_t index) override {
        add(line, std::string(s.header) + "=" + std::to_string(index));
    }
    bool currentParallelMode(size_t line, const Section&, uint32_t& mode, bool& unitDependent) override {
        add(line, "read mode");
        unitDependent = unknownMode;
        if (parallelMode) mode = *parallelMode;
        return parallelMode.has_value();
    }
    void setEcpDma(size_t line, const Section&, uint32_t dma, const uint32_t* mode) override {
        char buffer[32];
        std::snprintf(buffer, sizeof buffer, "dma=%u mode=%04X", dma, mode != nullptr ? *mode : 0xFFFF);
        add(line, buffer);
    }
    void setBootSequence(size_t line, const Section&, const BootSequence& seq) override {
        std::string text = "boot=";
        for (uint8_t code : seq) {
            text += std::to_string(code);
            if (code == kBootEnd) break;
            text += ",";
        }
        add(line, text);
    }
    void setWake(size_t line, const Section&, WakeSetting value, bool noon) override {
        char buffer[48];
        std::snprintf(buffer, sizeof buffer, "wake=%08X%s", value, noon ? " noon" : "");
        add(line, buffer);
    }
    void passedOver(size_t line, PassReason::Value reason, const char* textData, size_t length,
                    bool marked) override {
        const std::string text(textData, length);
        if (reason == PassReason::UnmarkedOption) return;
        add(line, std::string("pass ") + reasonName(reason) + (marked ? " * " : " ") + "\"" + text + "\"");
    }
    void refusedText(size_t line, const Section& s, LineDamage::Value damage) override {
        add(line, "refused " + std::string(s.header) + (damage == LineDamage::PartOfLongLine ? " (long)" : " (control)"));
    }
    void longLine(size_t line) override { add(line, "long line"); }
    bool wantsCarriageReturns() const override { return true; }
    void carriageReturn(size_t line, const char*, size_t) override { add(line, "CR"); }
};

std::vector<std::string> readText(const std::string& text, Recorder& recorder, bool* whole = nullptr) {
    FILE* file = fmemopen(const_cast<char*>(text.data()), text.size(), "r");
    if (text.empty()) file = std::tmpfile();
    LineReader lines(file);
    const bool ok = readDataFile(lines, recorder);
    if (whole != nullptr) *whole = ok;
    std::fclose(file);
    return recorder.events;
}

std::vector<std::string> readText(const std::string& text) {
    Recorder recorder;
    return readText(text, recorder);
}

using Events = std::vector<std::string>;

struct Case {
    const char* name;
    std::string file;
    Events events;
};

TEST(ChangeReader, EdgeCases) {
    const Case cases[] = {
        {"a set password's empty line keeps it; no line clears", "Setup Password\n\t\nPower-On Password\n",
         {"1: [Setup Password]", "2: pass blank-password \"\"", "3: [Power-On Password]", "3: user cleared"}},
        {"a password header as the last line clears", "Numlock\nSetup Password",
         {"1: [Numlock]", "2: [Setup Password]", "2: admin cleared"}},
        {"first entry line counts, inner and trailing blanks kept", "Setup Password\n\t my pass  \n\tsecond\n\t \n",
         {"1: [Setup Password]", "2: admin=\"my pass  \"", "3: pass extra-password \"\"", "4: pass blank \"\""}},
        {"a star in a password is text", "Power-On Password\n \t*secret\n",
         {"1: [Power-On Password]", "2: user=\"*secret\""}},
        {"entry lines before the first header are ignored", "\t*On\n\n  x\nNumlock\n\t*On\n",
         {"1: pass before-header \"*On\"", "3: pass before-header \"x\"", "4: [Numlock]", "5: Numlock=1"}},
        {"a line beginning with a star is a header", "*Numlock\n\t*On\nNumlock extra words\n\t*Off\n",
         {"1: pass unknown-header \"*Numlock\"", "3: [Numlock]", "4: Numlock=0"}},
        {"headers compare case-sensitively", "numlock\n\t*On\nNUMLOCK\n",
         {"1: pass unknown-header \"numlock\"", "3: pass unknown-header \"NUMLOCK\""}},
        {"blanks before the star, none after", "Numlock\n \t *On\n\t* On\n\t*on\n",
         {"1: [Numlock]", "2: Numlock=1", "3: pass unknown-option * \" On\"", "4: pass unknown-option * \"on\""}},
        {"trailing blanks are part of the name", "Numlock\n\t*On \n", {"1: [Numlock]", "2: pass unknown-option * \"On \""}},
        {"several marked lines apply in order", "Serial Port Address\n\t*3F8h/IRQ4\n\t*Disabled\n",
         {"1: [Serial Port Address]", "2: Serial Port Address=1", "3: Serial Port Address=0"}},
        {"ECP DMA reads the unit's mode for each marked DMA line", "ECP Mode Use DMA\n\tDMA1\n\t*DMA1\n\t*DMA9\n",
         {"1: [ECP Mode Use DMA]", "3: read mode", "3: dma=0 mode=0102", "4: pass unknown-option * \"DMA9\""}},
        {"boot names: unknown dropped, marked matches nothing", "Boot Order\n\tLAN\n\tZIP250\n\t*Floppy\n\n\tFloppy\n",
         {"1: [Boot Order]", "3: pass boot-unknown \"ZIP250\"", "4: pass boot-unknown \"*Floppy\"", "5: pass blank \"\"",
          "1: boot=6,0,255"}},
        {"Unknown reads back as 7, Disabled as 15", "Boot Order\n\tUnknown\n\tDisabled\n", {"1: [Boot Order]", "1: boot=7,15,255"}},
        {"an empty boot order is FFh alone", "Boot Order\nNumlock\n", {"1: [Boot Order]", "1: boot=255", "2: [Numlock]"}},
        {"a boot order at the end of the file", "Boot Order", {"1: [Boot Order]", "1: boot=255"}},
        {"wake: a marked day alone is 12:00", "Wake On RTC\n\t*Monday\n", {"1: [Wake On RTC]", "1: wake=0C000002 noon"}},
        {"wake: Sunday at 7:30", "Wake On RTC\n\t*Sunday\n\tMonday\n\t7:30\n", {"1: [Wake On RTC]", "1: wake=071E0001"}},
        {"wake: a marked time line works the same", "Wake On RTC\n\t*7:30\n", {"1: [Wake On RTC]", "1: wake=071E0000"}},
        {"wake: 0:00 is 12:00", "Wake On RTC\n\t0:00\n", {"1: [Wake On RTC]", "1: wake=0C000000 noon"}},
        {"wake: 300:5 cuts the hour to 8 bits", "Wake On RTC\n\t300:5\n", {"1: [Wake On RTC]", "1: wake=2C050000"}},
        {"wake: numbers past the 32-bit range saturate, then are cut", "Wake On RTC\n\t99999999999:-99999999999\n",
         {"1: [Wake On RTC]", "1: wake=FF000000"}},
        {"wake: a sign and blanks after the colon", "Wake On RTC\n\t7: +30x\n", {"1: [Wake On RTC]", "1: wake=071E0000"}},
        {"wake: a time without colon is ignored, a later time wins", "Wake On RTC\n\t730\n\t6:05\n\t8: -1\n",
         {"1: [Wake On RTC]", "2: pass no-colon \"730\"", "1: wake=08FF0000"}},
        {"wake: unknown day names", "Wake On RTC\n\t*Funday\n\t*monday\n",
         {"1: [Wake On RTC]", "2: pass unknown-option * \"Funday\"", "3: pass unknown-option * \"monday\"",
          "1: wake=0C000000 noon"}},
        {"a last line without line feed", "Numlock\n\t*On", {"1: [Numlock]", "2: Numlock=1"}},
        {"asset tag: last non-empty line stays, blanks do nothing", "Asset Tracking Number\n\t\n\tA-1\n\t  B 2 \n",
         {"1: [Asset Tracking Number]", "2: pass blank \"\"", "3: tag=\"A-1\"", "4: tag=\"B 2 \""}},
        {"an unknown section swallows its entry lines", "Keyboard\n\t*On\nNumlock\n\t*On\n",
         {"1: pass unknown-header \"Keyboard\"", "3: [Numlock]", "4: Numlock=1"}},
        {"sections may repeat", "Numlock\n\t*On\nNumlock\n\t*Off\n",
         {"1: [Numlock]", "2: Numlock=1", "3: [Numlock]", "4: Numlock=0"}},
    };
    for (const Case& c : cases) EXPECT_EQ(readText(c.file), c.events) << c.name;
}

TEST(ChangeReader, DamagedLinesGiveNoPasswordAndNoTag) {
    const Case cases[] = {
        {"a header with a control byte refuses its section, no clear at its end", "Power-On Password\x7F\n\tsecret\n",
         {"1: [Power-On Password]", "1: refused Power-On Password (control)", "2: pass refused-section \"\""}},
        {"a header that runs on past a piece", "Setup Password" + std::string(250, ' ') + "\tsecret\nNumlock\n\t*On\n",
         {"1: long line", "1: [Setup Password]", "1: refused Setup Password (long)", "1: pass refused-section \"\"",
          "2: [Numlock]", "3: Numlock=1"}},
        {"carriage returns alone: one line", "Setup Password\r\tsecret\rNumlock\r",
         {"1: CR", "1: [Setup Password]", "1: refused Setup Password (control)"}},
        {"the first entry line decides, also when refused", "Setup Password\n\tsec\x1Bret\n\tother\n",
         {"1: [Setup Password]", "2: refused Setup Password (control)", "3: pass extra-password \"\""}},
        {"a blank first line with a control byte", "Setup Password\n\t\f\n", {"1: [Setup Password]", "2: refused Setup Password (control)"}},
        {"a password line longer than a piece", "Setup Password\n\t" + std::string(254, 'p') + "\tx\n",
         {"1: [Setup Password]", "2: long line", "2: refused Setup Password (long)", "2: pass extra-password \"\""}},
        {"tags: a tab is text; a control byte, a zero byte, a long line are refused once each",
         std::string("Asset Tracking Number\n\tA\tB\n\tC\x01" "D\n\tE\0F\n\t", 38) + std::string(254, 'g') + " gg\n",
         {"1: [Asset Tracking Number]", "2: tag=\"A\tB\"", "3: refused Asset Tracking Number (control)",
          "4: refused Asset Tracking Number (control)", "5: long line", "5: refused Asset Tracking Number (long)"}},
        {"CR LF line ends are no damage", "Setup Password\r\n\tpw\r\n", {"1: [Setup Password]", "2: admin=\"pw\""}},
        {"other sections read as before", "Numlock\x01\n\t*On\x7F\n\t*On\n",
         {"1: [Numlock]", "2: pass unknown-option * \"On\x7F\"", "3: Numlock=1"}},
    };
    for (const Case& c : cases) EXPECT_EQ(readText(c.file), c.events) << c.name;
}

TEST(ChangeReader, EcpDmaDependsOnTheModeTheUnitReports) {
    Recorder ecp;
    ecp.parallelMode = 0x0003;
    EXPECT_EQ(readText("ECP Mode Use DMA\n\t*DMA3\n", ecp),
              (Events{"1: [ECP Mode Use DMA]", "2: read mode", "2: dma=1 mode=0003"}));
    Recorder epp;
    epp.parallelMode = 0x0101;
    EXPECT_EQ(readText("ECP Mode Use DMA\n\t*DMA3\n", epp),
              (Events{"1: [ECP Mode Use DMA]", "2: read mode", "2: pass below-ecp * \"DMA3\""}));
    Recorder unread;
    unread.parallelMode = std::nullopt;
    EXPECT_EQ(readText("ECP Mode Use DMA\n\t*DMA3\n", unread),
              (Events{"1: [ECP Mode Use DMA]", "2: read mode", "2: pass mode-unread * \"DMA3\""}));
    Recorder unknown;
    unknown.unknownMode = true;
    unknown.parallelMode = std::nullopt;
    EXPECT_EQ(readText("ECP Mode Use DMA\n\t*DMA3\n", unknown),
              (Events{"1: [ECP Mode Use DMA]", "2: read mode", "2: dma=1 mode=FFFF"}));
}

TEST(ChangeReader, MoreThanFifteenBootNamesKeepTheFirstFifteen) {
    std::string file = "Boot Order\n";
    for (int i = 0; i < 17; ++i) file += "\tLAN\n";
    const Events events = readText(file);
    ASSERT_EQ(events.size(), 4u);
    EXPECT_EQ(events[1], "17: pass boot-full \"LAN\"");
    EXPECT_EQ(events[2], "18: pass boot-full \"LAN\"");
    EXPECT_EQ(events[3], "1: boot=6,6,6,6,6,6,6,6,6,6,6,6,6,6,6,255");
}

TEST(ChangeReader, CarriageReturnLineEnds) {
    EXPECT_EQ(readText("Numlock\r\n\t*On\r\nBoot Order\r\n\tLAN\r\n"),
              (Events{"1: [Numlock]", "2: Numlock=1", "3: [Boot Order]", "3: boot=6,255"}));
    // A carriage return that is not part of a line end stays in the text.
    EXPECT_EQ(readText("Numlock\n\t*On\r\r\n\t*O\rn\n"),
              (Events{"1: [Numlock]", "2: CR", "2: pass unknown-option * \"On\r\"", "3: CR",
                      "3: pass unknown-option * \"O\rn\""}));
}

TEST(ChangeReader, LongLinesAreReadInPiecesThatKeepTheirLineNumber) {
    // 254 characters and the line feed fit one piece; 255 and the line feed do not.
    const std::string fits = "\t" + std::string(253, 'x') + "\n";
    const std::string splits = "\t" + std::string(254, 'y') + "\n";
    EXPECT_EQ(readText("Numlock\n" + fits),
              (Events{"1: [Numlock]", "2: pass unknown-option \"" + std::string(253, 'x') + "\""}));
    // The second piece is the line feed alone: an empty entry line of its own.
    EXPECT_EQ(readText("Numlock\n" + splits + "Numlock\n"),
              (Events{"1: [Numlock]", "2: long line", "2: pass unknown-option \"" + std::string(254, 'y') + "\"",
                      "2: pass blank \"\"", "3: [Numlock]"}));
    // A piece that begins with a letter is a header line of its own.
    EXPECT_EQ(readText("Numlock\n\t" + std::string(254, 'z') + "Numlock\n\t*On\n"),
              (Events{"1: [Numlock]", "2: long line", "2: pass unknown-option \"" + std::string(254, 'z') + "\"",
                      "2: [Numlock]", "3: Numlock=1"}));
    // CR LF split between two pieces is one line end, as the device's text mode reads it.
    EXPECT_EQ(readText("Numlock\n\t" + std::string(253, 'w') + "\r\nNumlock\n"),
              (Events{"1: [Numlock]", "2: pass unknown-option \"" + std::string(253, 'w') + "\"", "3: [Numlock]"}));
}

TEST(ChangeReader, ZeroByteEndsTheTextButNotTheLine) {
    const char text[] = "Numlock\n\tAB\0CD\nNumlock\n\t*On\n";
    const std::string file(text, sizeof text - 1);
    EXPECT_EQ(readText(file), (Events{"1: [Numlock]", "2: pass unknown-option \"AB\"", "3: [Numlock]", "4: Numlock=1"}));
}

TEST(ChangeReader, LinesAfterLongerOnesAndZeroBytesEndWhereTheirOwnLineFeedIs) {
    // What a longer line left in the buffer is never taken for a shorter line's end, whether the
    // shorter one holds a zero byte before its line feed, fills a whole piece, or ends the file.
    std::string file = "Numlock\n\t" + std::string(240, 'z') + "\n";
    file += std::string("\tAB\0CDEFGH\n", 11);                           // line 3: cut by a zero byte
    file += "\tX\n";                                                        // line 4
    file += std::string("\tQ\0", 3) + std::string(252, 'r') + "\n";  // line 5: a whole piece, then its line feed
    file += "Numlock\n\t*On\n";                                            // lines 6, 7
    file += std::string("\t\0Y", 3);                                       // line 8: the last, no line feed
    EXPECT_EQ(readText("Numlock\n" + file.substr(8)),
              (Events{"1: [Numlock]", "2: pass unknown-option \"" + std::string(240, 'z') + "\"", "3: pass unknown-option \"AB\"",
                      "4: pass unknown-option \"X\"", "5: long line", "5: pass unknown-option \"Q\"", "5: pass blank \"\"", "6: [Numlock]",
                      "7: Numlock=1", "8: pass blank \"\""}));
}

TEST(ChangeReader, PasswordIsWipedFromTheLineBuffer) {
    std::string text = "Setup Password\n\tsecret-text\n";
    FILE* file = fmemopen(text.data(), text.size(), "r");
    LineReader lines(file);
    Recorder recorder;
    readDataFile(lines, recorder);
    std::fclose(file);
    ASSERT_EQ(recorder.lastPassword, lines.text() + 1);
    EXPECT_EQ(std::string(lines.text(), LineReader::kBufferSize), std::string(LineReader::kBufferSize, '\0'));
}

}  // namespace
