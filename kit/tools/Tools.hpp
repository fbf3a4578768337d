#pragma once
#include <functional>
#include <string>

#include "kit/common/Json.hpp"
#include "kit/tools/Arguments.hpp"
#include "kit/tools/Engine.hpp"
#include "kit/tools/ToolResult.hpp"

namespace Tools {

// One tools/call: guards around the dispatch, then the window's new state unless
// another request is already queued (moreQueued).
ToolResult call(const std::string& name, const Arguments& arguments, Engine& engine,
                const std::function<bool()>& moreQueued);

// Reads the tool's arguments in its fixed order and runs its engine operation.
ToolResult dispatch(const std::string& name, const Arguments& arguments, Engine& engine);

// Whether the call may load a new page, so the after-action state waits for it.
bool mayNavigate(const std::string& name, const Arguments& arguments);

}  // namespace Tools
