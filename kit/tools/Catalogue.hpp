#pragma once
#include <set>
#include <string>

#include "kit/common/Json.hpp"

namespace Tools {

// The 14 tool entries in the order tools/list serves them; built once.
const Json& definitions();

// Tools that only look: their entries carry readOnlyHint true.
const std::set<std::string>& observingTools();
// Tools for which the dispatcher skips the stacking guard and the after-action state.
const std::set<std::string>& readOnlyTools();

}  // namespace Tools
