#pragma once
#include <string>
#include <vector>

// The one-way layers of the source tree: a file may include headers of its own
// folder and of the layers below it, and a desktop backend only common and the
// platform interfaces.
namespace Layers {

// The includes of this file (its path relative to the source root, and its text)
// that reach above its layer or into a folder it may not see, each as
// "file -> header".
std::vector<std::string> violations(const std::string& path, const std::string& text);

}  // namespace Layers
