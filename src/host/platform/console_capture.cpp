// The host console's capture for tests, apart from the console itself, which programs link alone.
#include "console_capture.h"

namespace sim {

ConsoleCapture::ConsoleCapture() : previous_(host::consoleCapture) { host::consoleCapture = &text_; }
ConsoleCapture::~ConsoleCapture() { host::consoleCapture = previous_; }

}  // namespace sim
