// What a path names on disk: whether two paths name one file, whether a path
// lies inside a folder, whether it is something other than a regular file;
// and names for new files that no other process picks.
#pragma once

#include <string>

namespace vexmend {

// True when `a` and `b` (UTF-8) name one file: the same absolute path once
// ".", ".." and symbolic links are resolved, or, where both exist, the same
// file (same device and inode), which also catches hard links.
bool SamePath(const std::string& a, const std::string& b);

// True when `path` lies inside `folder`, at any depth, by the same rules.
bool LiesIn(const std::string& path, const std::string& folder);

// True when `path` names an existing entry that is not a regular file once
// links are followed: a folder, a FIFO, a device or a socket. Reading one
// could block for ever.
bool IsSpecialEntry(const std::string& path);

// The name under which the encoder is given the file `path` (UTF-8): its
// absolute path after "file:", so that no file name is read as a protocol
// ("file:x", "http:x") or an option ("-y").
std::string EncoderFileName(const std::string& path);

// A name that no other call of any process picks: 16 random hex digits.
std::string UniqueName();

}  // namespace vexmend
