#pragma once
#include <initializer_list>

#include "kit/common/Json.hpp"

// Pieces of input schemas that several tools share.
namespace ToolSchema {

Json typed(const char* type, const char* description = nullptr);
Json enumerated(std::initializer_list<const char*> cases);

Json app();
Json windowID();
Json elementIndex();
Json x();
Json y();
Json mouseButton();

}  // namespace ToolSchema
