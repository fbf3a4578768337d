#pragma once
#include <memory>

#include "kit/common/Json.hpp"
#include "kit/perception/WindowListTransport.hpp"

// The one way every part of the engine reads the window list.
namespace WindowList {

// Front to back, one dictionary per window; through the helper when there is one,
// otherwise (or when it fails) from the window server on the main thread.
Json copy(uint32_t options, WindowNumber relativeTo = 0);

// The helper in use, or none. A desktop that helper processes can see gets one on
// first use.
std::shared_ptr<WindowListTransport> helper();
void useHelper(std::shared_ptr<WindowListTransport> transport);

// The body of the `window-list` helper process.
[[noreturn]] void serve();

}  // namespace WindowList
