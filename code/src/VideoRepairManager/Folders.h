// Folders that the repairs make on the way.
#pragma once

#include <string>

namespace vexmend {

// A folder under the work folder; the bare name (in the current folder)
// when the work folder is empty.
std::wstring WorkSubfolder(const std::wstring& name);

// Creates the folder of `path` (UTF-8) with its parents when it is missing.
// A path without a folder part lies in the current folder: nothing to make.
void EnsureParentFolder(const std::string& path);

}  // namespace vexmend
