// A unit for tests: made from a state text and installed while it lives, so that the program's
// code runs on it in-process.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "sim_unit.h"

namespace sim {

// A text that does not parse fails the construction with `error()` set and no unit installed.
class ScopedUnit {
public:
    explicit ScopedUnit(std::string_view stateText = {}, std::string statePath = {});
    ~ScopedUnit();
    ScopedUnit(const ScopedUnit&) = delete;
    ScopedUnit& operator=(const ScopedUnit&) = delete;

    bool ok() const { return unit_ != nullptr; }
    const std::string& error() const { return error_; }
    Unit& unit() { return *unit_; }
    Settings& settings() { return unit_->state().settings; }

private:
    std::unique_ptr<Unit> unit_;
    Unit* previous_ = nullptr;
    std::string error_;
};

}  // namespace sim
