// Folders that the repairs make on the way.
#pragma once

#include <string>

namespace vexmend {

// A folder under the work folder; the bare name (in the current folder)
// when the work folder is empty.
std::wstring WorkSubfolder(const std::wstring& name);

// True when `path` (UTF-8) lies in one of the folders the repairs write into
// under the work folder: RepairedVideo or AdvanceRepairedVideo.
bool LiesInWorkFolders(const std::string& path);

}  // namespace vexmend
