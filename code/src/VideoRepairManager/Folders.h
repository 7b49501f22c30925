// Folders that the repairs make on the way.
#pragma once

#include <string>
#include <vector>

namespace vexmend {

// A folder under the work folder; the bare name (in the current folder)
// when the work folder is empty.
std::wstring WorkSubfolder(const std::wstring& name);

// True when `path` (UTF-8) lies in one of the folders the repairs write into
// under the work folder: RepairedVideo or AdvanceRepairedVideo.
bool LiesInWorkFolders(const std::string& path);

// Creates the folder of `path` (UTF-8) with its parents when it is missing.
// A path without a folder part lies in the current folder: nothing to make.
void EnsureParentFolder(const std::string& path);

// Moves the file `from` to `to` (both UTF-8), replacing a file there; into
// the folder `to` under its own name when `to` is a folder. Renames within a
// file system, copies and removes across file systems. Returns "rename" or
// "copy"; throws when neither works.
const char* MoveOrCopyFile(const std::string& from, const std::string& to);

// Copies the file `from` (UTF-8) to the first of `candidates` that does not
// exist yet and is not `avoid`, creating it exclusively: no file is ever
// overwritten. Returns the path made, or the empty text when none could be
// made (a partial copy is removed again).
std::string CopyToNewFile(const std::string& from, const std::vector<std::string>& candidates,
                          const std::string& avoid);

}  // namespace vexmend
