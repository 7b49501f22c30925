// Splitting of a Windows-style command line, so that a child started from one
// command-line text gets the same program and arguments on every platform.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace vexmend::platform {

struct ParsedCommandLine {
    std::wstring program;
    std::vector<std::wstring> arguments;  // without the program
};

// Splits `text` the way CreateProcess with no application name does: a quoted
// first token is the program; an unquoted one is taken up to the first space
// at which `isFile` accepts the text before it (shortest first), else up to
// the first space. The arguments follow the C runtime's rules: white space
// separates, double quotes group, 2n backslashes before a quote give n and
// the quote groups, 2n+1 give n and a literal quote.
ParsedCommandLine ParseCommandLine(const std::wstring& text,
                                   const std::function<bool(const std::wstring&)>& isFile);

// One argument quoted so that the rules above give it back unchanged.
std::wstring QuoteArgument(const std::wstring& argument);

}  // namespace vexmend::platform
