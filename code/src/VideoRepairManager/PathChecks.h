// Checks on a repair's paths, made before anything is written or run, so
// that no repair can replace or remove one of its own inputs.
#pragma once

#include <string>

namespace vexmend {

// True when `a` and `b` (UTF-8) name one file: the same absolute path once
// ".", ".." and symbolic links are resolved, or, where both exist, the same
// file (same device and inode), which also catches hard links.
bool SamePath(const std::string& a, const std::string& b);

// True when `path` lies inside `folder`, at any depth, by the same rules.
bool LiesIn(const std::string& path, const std::string& folder);

// True when `path` lies in one of the folders the repairs write into under
// the work folder: RepairedVideo or AdvanceRepairedVideo.
bool LiesInWorkFolders(const std::string& path);

// True when `path` names an existing entry that is not a regular file once
// links are followed: a folder, a FIFO, a device or a socket. Reading one
// could block for ever.
bool IsSpecialEntry(const std::string& path);

}  // namespace vexmend
