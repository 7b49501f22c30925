// Where the host program lives and where the encoder is expected beside it.
#pragma once

#include <string>

namespace vexmend {

// Folder of the running program's executable, "/" separators, no trailing one.
std::wstring GetHostFolder();

// GetHostFolder() followed by "/ffmpeg.exe".
std::wstring GetEncoderPath();

// Replaces every occurrence of `from` in `text` by `to`, searching again from
// the start after each replacement. `from` must not be empty and `to` must not
// contain it.
void ReplaceAll(std::wstring& text, const std::wstring& from, const std::wstring& to);

// Windows paths: every "\" becomes "/". Elsewhere a backslash is an ordinary
// file-name character, and the path is left as it is.
void ToForwardSlashes(std::wstring& path);

}  // namespace vexmend
