// Conversions between the library's wide paths and 8-bit UTF-8 text.
#pragma once

#include <string>

namespace vexmend {

// UTF-8 to wide text with the C runtime's multibyte conversion, after setting
// the process's C locale (all categories) to UTF-8. The locale stays set.
// Throws std::invalid_argument for malformed input.
std::wstring Utf8ToWide(const std::string& text);

// Wide text to UTF-8 with the C runtime's conversion under the same locale.
// Throws std::invalid_argument for text that has no UTF-8 form.
std::string WideToNarrow(const std::wstring& text);

// Wide text to UTF-8 through Poco's Unicode converter; no locale involved.
std::string WideToUtf8(const std::wstring& text);

// UTF-8 to wide text through Poco's Unicode converter; no locale involved.
std::wstring Utf8ToWideNoLocale(const std::string& text);

}  // namespace vexmend
