#pragma once
#include <string>

// The list_apps text: one line per regular app, with markers and its listable windows.
namespace AppList {

std::string text();

}  // namespace AppList
