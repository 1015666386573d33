// The unit's call log: one line per firmware call, appended to its file and flushed at once,
// and kept in memory for a test that asks.
#pragma once

#include <string>
#include <vector>

namespace sim {

class CallLog {
public:
    explicit CallLog(std::string path) : path_(std::move(path)) {}

    void keepInMemory() { keeping_ = true; }
    void append(const std::string& line);
    const std::vector<std::string>& lines() const { return lines_; }

private:
    std::string path_;  // empty: no file
    bool keeping_ = false;
    std::vector<std::string> lines_;
};

}  // namespace sim
