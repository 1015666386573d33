// The host console's capture for tests, apart from the console itself, which programs link alone.
#include "console_capture.h"

namespace host {

ConsoleCapture::ConsoleCapture() : previous_(consoleCapture) { consoleCapture = &text_; }
ConsoleCapture::~ConsoleCapture() { consoleCapture = previous_; }

}  // namespace host
