// Splitting one command line as the device's start-up does.
#include <gtest/gtest.h>

#include "command_line.h"

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
    for (const Case& c : cases) EXPECT_EQ(splitCommandLine(c.line), c.args) << std::wstring(c.line).size();
}

}  // namespace
