// The in-process unit of the tests.
#include "sim_scoped_unit.h"

namespace sim {

ScopedUnit::ScopedUnit(std::string_view stateText, std::string statePath) {
    State state;
    if (!parseState(stateText, state, error_)) return;
    unit_ = std::make_unique<Unit>(std::move(state), std::move(statePath));
    unit_->recordCalls();
    previous_ = installedUnit();
    installUnit(unit_.get());
}

ScopedUnit::~ScopedUnit() {
    if (unit_) installUnit(previous_);
}

}  // namespace sim
