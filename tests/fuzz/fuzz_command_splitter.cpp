// Fuzz target: the device's command-line splitter. No argument keeps a double quote, each
// argument written in quotes splits back to itself, and a line without quotes splits at its
// white space and nowhere else.
#include <cstdint>
#include <string>
#include <vector>

#include "argument_vector.h"
#include "fuzz_support.h"

namespace {

bool isBlank(wchar_t c) { return c == L' ' || c == L'\t' || c == L'\n' || c == L'\r' || c == L'\v' || c == L'\f'; }

// The words of a line that holds no quote.
std::vector<std::wstring> words(const std::wstring& line) {
    std::vector<std::wstring> out;
    std::wstring word;
    for (wchar_t c : line) {
        if (!isBlank(c)) {
            word += c;
        } else if (!word.empty()) {
            out.push_back(word);
            word.clear();
        }
    }
    if (!word.empty()) out.push_back(word);
    return out;
}

std::wstring quotedLine(const std::vector<std::wstring>& arguments) {
    std::wstring line;
    for (const std::wstring& argument : arguments) line += (line.empty() ? L"\"" : L" \"") + argument + L"\"";
    return line;
}

// Each byte is a character of the line, so that quotes and every kind of blank are near at hand;
// two bytes after a 0xFF stand for one character beyond Latin-1. A zero would end the line.
std::wstring lineOf(const uint8_t* data, size_t size) {
    std::wstring line;
    for (size_t i = 0; i < size; ++i) {
        wchar_t c = data[i];
        if (data[i] == 0xFF && i + 2 < size) {
            c = static_cast<wchar_t>(data[i + 1] << 8 | data[i + 2]);
            i += 2;
        }
        if (c != 0) line += c;
    }
    return line;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::wstring line = lineOf(data, size);
    const std::vector<std::wstring> arguments = splitArguments(line.c_str());
    size_t characters = 0;
    for (const std::wstring& argument : arguments) {
        FUZZ_CHECK(argument.find(L'"') == std::wstring::npos, "an argument kept a quote: " + fuzz::shown(argument));
        characters += argument.size();
    }
    FUZZ_CHECK(characters <= line.size(), "the arguments hold more characters than the line");
    FUZZ_CHECK(splitArguments(quotedLine(arguments).c_str()) == arguments,
               "quoted arguments split otherwise: " + fuzz::shown(quotedLine(arguments)));
    if (line.find(L'"') == std::wstring::npos) {
        FUZZ_CHECK(arguments == words(line), "a line without quotes split otherwise: " + fuzz::shown(line));
    }
    return 0;
}
