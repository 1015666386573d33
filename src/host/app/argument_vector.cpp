// Argument vectors over the device's splitter, for the host's entries and tests.
#include "argument_vector.h"

#include <cwchar>

#include "command_splitter.h"

std::vector<const wchar_t*> argumentVector(const std::vector<std::wstring>& arguments) {
    std::vector<const wchar_t*> pointers;
    pointers.reserve(arguments.size());
    for (const std::wstring& argument : arguments) pointers.push_back(argument.c_str());
    return pointers;
}

std::vector<std::wstring> splitArguments(const wchar_t* commandLine) {
    const size_t count = splitCommandLine(commandLine, nullptr, nullptr);
    std::vector<wchar_t> text(std::wcslen(commandLine) + 1);
    std::vector<wchar_t*> argv(count);
    (void)splitCommandLine(commandLine, text.data(), argv.data());
    return std::vector<std::wstring>(argv.begin(), argv.end());
}
