#include "kit/common/ToolError.hpp"
#include "kit/tools/Tool.hpp"
#include "kit/tools/Tools.hpp"

namespace Tools {

ToolResult dispatch(const std::string& name, const Arguments& arguments, Engine& engine) {
  const Tool* tool = named(name);
  if (tool == nullptr) throw ToolError("Unknown tool " + name + ".");
  return tool->run(arguments, engine);
}

bool mayNavigate(const std::string& name, const Arguments& arguments) {
  const Tool* tool = named(name);
  return tool != nullptr && tool->mayNavigate(arguments);
}

}  // namespace Tools
