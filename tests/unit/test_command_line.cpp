// Splitting one command line as the device's start-up does.
#include <gtest/gtest.h>

#include "argument_vector.h"
#include "command_splitter.h"

namespace {

TEST(SplitCommandLine, WhiteSpaceOutsideQuotesSplitsAndEveryQuoteGoes) {
    struct Case {
        const wchar_t* line;
        std::vector<std::wstring> args;
    };
    const Case cases[] = {
        {L"", {}},
        {L"   \t ", {}},
        {L"FolvaneCE R", {L"FolvaneCE", L"R"}},
        {L"  FolvaneCE\tW   unit.txt  ", {L"FolvaneCE", L"W", L"unit.txt"}},
        {L"FolvaneCE W \"My Documents\\unit file.txt\"", {L"FolvaneCE", L"W", L"My Documents\\unit file.txt"}},
        {L"FolvaneCE W ab\"c d\"e", {L"FolvaneCE", L"W", L"abc de"}},
        {L"FolvaneCE W \"\"", {L"FolvaneCE", L"W", L""}},
        // No escape character: a backslash before a quote is a backslash, and the quote still goes.
        {L"FolvaneCE W a\\\"b c\\\"", {L"FolvaneCE", L"W", L"a\\b c\\"}},
        {L"FolvaneCE W \"unterminated text", {L"FolvaneCE", L"W", L"unterminated text"}},
    };
    for (const Case& c : cases) EXPECT_EQ(splitArguments(c.line), c.args) << std::wstring(c.line).size();
}

// The count alone, and arguments packed into no more than the line's length and one.
TEST(SplitCommandLine, CountsWithoutWritingAndPacksIntoTheLinesRoom) {
    const wchar_t line[] = L"a \"b c\" d\"\"e \"\"";
    EXPECT_EQ(splitCommandLine(line, nullptr, nullptr), 4u);
    const size_t room = sizeof line / sizeof line[0];
    std::vector<wchar_t> text(room + 1, L'#');
    wchar_t* argv[4] = {};
    ASSERT_EQ(splitCommandLine(line, text.data(), argv), 4u);
    EXPECT_EQ(std::wstring(argv[0]), L"a");
    EXPECT_EQ(std::wstring(argv[1]), L"b c");
    EXPECT_EQ(std::wstring(argv[2]), L"de");
    EXPECT_EQ(std::wstring(argv[3]), L"");
    EXPECT_EQ(text[room], L'#');  // nothing written past the room the caller gives
}

}  // namespace
