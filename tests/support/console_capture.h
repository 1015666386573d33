// The host console's output captured in memory while a capture lives, for tests.
#pragma once

#include <string>

#include "console_sink.h"

namespace host {

class ConsoleCapture {
public:
    ConsoleCapture() : previous_(consoleCapture) { consoleCapture = &text_; }
    ~ConsoleCapture() { consoleCapture = previous_; }
    ConsoleCapture(const ConsoleCapture&) = delete;
    ConsoleCapture& operator=(const ConsoleCapture&) = delete;
    const std::string& text() const { return text_; }
    void clear() { text_.clear(); }

private:
    std::string text_;
    std::string* previous_;
};

}  // namespace host
