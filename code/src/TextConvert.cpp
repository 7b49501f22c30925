#include "TextConvert.h"

#include <Poco/UnicodeConverter.h>

#include <clocale>
#include <cstdlib>
#include <stdexcept>
#include <vector>

namespace vexmend {

namespace {

// Selects a UTF-8 C locale for the whole process. Machines without the
// en_US locale installed still have C.UTF-8.
void SelectUtf8Locale()
{
    if (std::setlocale(LC_ALL, "en_US.UTF-8") == nullptr) {
        std::setlocale(LC_ALL, "C.UTF-8");
    }
}

}  // namespace

std::wstring Utf8ToWide(const std::string& text)
{
    SelectUtf8Locale();
    if (text.empty()) return std::wstring();
#if defined(_WIN32)
    // The Windows C runtime's multibyte functions cannot be relied on for
    // UTF-8 under every runtime version; the converter gives the same result.
    return Utf8ToWideNoLocale(text);
#else
    std::vector<wchar_t> wide(text.size() + 1);
    std::size_t count = std::mbstowcs(wide.data(), text.c_str(), wide.size());
    if (count == static_cast<std::size_t>(-1)) {
        throw std::invalid_argument("text is not valid UTF-8");
    }
    return std::wstring(wide.data(), count);
#endif
}

std::string WideToNarrow(const std::wstring& text)
{
    SelectUtf8Locale();
    if (text.empty()) return std::string();
#if defined(_WIN32)
    return WideToUtf8(text);
#else
    // Four bytes for each wide character, as a UTF-8 sequence needs at most.
    std::vector<char> narrow(text.size() * 4 + 1);
    std::size_t count = std::wcstombs(narrow.data(), text.c_str(), narrow.size());
    if (count == static_cast<std::size_t>(-1)) {
        throw std::invalid_argument("text has no UTF-8 form");
    }
    return std::string(narrow.data(), count);
#endif
}

std::string WideToUtf8(const std::wstring& text)
{
    std::string result;
#if defined(_WIN32)
    static_assert(sizeof(wchar_t) == sizeof(Poco::UTF16Char), "UTF-16 wchar_t expected");
    Poco::UnicodeConverter::convert(reinterpret_cast<const Poco::UTF16Char*>(text.data()),
                                    text.size(), result);
#else
    static_assert(sizeof(wchar_t) == sizeof(Poco::UTF32Char), "UTF-32 wchar_t expected");
    Poco::UnicodeConverter::convert(reinterpret_cast<const Poco::UTF32Char*>(text.data()),
                                    text.size(), result);
#endif
    return result;
}

std::wstring Utf8ToWideNoLocale(const std::string& text)
{
#if defined(_WIN32)
    Poco::UTF16String wide;
#else
    Poco::UTF32String wide;
#endif
    Poco::UnicodeConverter::convert(text, wide);
    return std::wstring(wide.begin(), wide.end());
}

}  // namespace vexmend
