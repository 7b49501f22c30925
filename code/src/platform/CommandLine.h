// Quoting of one argument for a Windows command line, so that the child's C
// runtime gives it back unchanged.
#pragma once

#include <string>

namespace vexmend::platform {

// `argument` as it must stand on the command line: unchanged when it holds no
// white space or double quote and is not empty; otherwise in double quotes,
// with each quote escaped by a backslash and the backslashes before a quote
// or before the closing quote doubled.
std::wstring QuoteArgument(const std::wstring& argument);

}  // namespace vexmend::platform
