#pragma once
#include "kit/platform/Workspace.hpp"

// A running application, as the workspace reported it during one call.
using RunningApp = AppRecord;
