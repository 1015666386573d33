// The call log: appended and closed at every line, so that a crash loses none.
#include "sim_call_log.h"

#include "host_file.h"

namespace sim {

void CallLog::append(const std::string& line) {
    if (keeping_) lines_.push_back(line);
    if (path_.empty()) return;
    const host::File file = host::openHostFile(path_, "ab");
    if (file) (void)std::fprintf(file.get(), "%s\n", line.c_str());
}

}  // namespace sim
