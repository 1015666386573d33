// The host console's output captured in memory while a capture lives, for tests.
#pragma once

#include <string>

namespace host {

// Where the console's output goes instead of standard output; null while nothing captures it.
extern std::string* consoleCapture;

class ConsoleCapture {
public:
    ConsoleCapture();
    ~ConsoleCapture();
    ConsoleCapture(const ConsoleCapture&) = delete;
    ConsoleCapture& operator=(const ConsoleCapture&) = delete;
    const std::string& text() const { return text_; }
    void clear() { text_.clear(); }

private:
    std::string text_;
    std::string* previous_;
};

}  // namespace host
