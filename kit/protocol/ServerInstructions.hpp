#pragma once
#include <string>

// The instructions text of the initialize result.
const std::string& serverInstructions();
