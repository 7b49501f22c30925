#include "platform/CommandLine.h"

namespace vexmend::platform {

namespace {

bool IsBlank(wchar_t c) { return c == L' ' || c == L'\t'; }

// The program token; `at` is left after it.
std::wstring TakeProgram(const std::wstring& text, std::wstring::size_type& at,
                         const std::function<bool(const std::wstring&)>& isFile)
{
    while (at < text.size() && IsBlank(text[at])) ++at;
    if (at < text.size() && text[at] == L'"') {
        std::wstring::size_type close = text.find(L'"', at + 1);
        if (close == std::wstring::npos) close = text.size();
        std::wstring program = text.substr(at + 1, close - at - 1);
        at = close < text.size() ? close + 1 : close;
        return program;
    }
    std::wstring::size_type start = at;
    std::wstring::size_type firstBlank = std::wstring::npos;
    for (std::wstring::size_type i = start; i <= text.size(); ++i) {
        if (i < text.size() && !IsBlank(text[i])) continue;
        if (firstBlank == std::wstring::npos) firstBlank = i;
        std::wstring candidate = text.substr(start, i - start);
        if (isFile && isFile(candidate)) {
            at = i;
            return candidate;
        }
    }
    at = firstBlank;
    return text.substr(start, firstBlank - start);
}

}  // namespace

ParsedCommandLine ParseCommandLine(const std::wstring& text,
                                   const std::function<bool(const std::wstring&)>& isFile)
{
    ParsedCommandLine parsed;
    std::wstring::size_type at = 0;
    parsed.program = TakeProgram(text, at, isFile);

    std::wstring current;
    bool inToken = false;
    bool quoted = false;
    while (at < text.size()) {
        wchar_t c = text[at];
        if (c == L'\\') {
            std::wstring::size_type slashes = 0;
            while (at < text.size() && text[at] == L'\\') {
                ++slashes;
                ++at;
            }
            if (at < text.size() && text[at] == L'"') {
                current.append(slashes / 2, L'\\');
                if (slashes % 2 == 1) {
                    current += L'"';
                    ++at;
                }
            } else {
                current.append(slashes, L'\\');
            }
            inToken = true;
            continue;
        }
        if (c == L'"') {
            // Inside quotes, a doubled quote stands for one literal quote.
            if (quoted && at + 1 < text.size() && text[at + 1] == L'"') {
                current += L'"';
                at += 2;
                continue;
            }
            quoted = !quoted;
            inToken = true;
            ++at;
            continue;
        }
        if (IsBlank(c) && !quoted) {
            if (inToken) parsed.arguments.push_back(current);
            current.clear();
            inToken = false;
            ++at;
            continue;
        }
        current += c;
        inToken = true;
        ++at;
    }
    if (inToken) parsed.arguments.push_back(current);
    return parsed;
}

std::wstring QuoteArgument(const std::wstring& argument)
{
    if (!argument.empty() && argument.find_first_of(L" \t\"") == std::wstring::npos) {
        return argument;
    }
    std::wstring quoted = L"\"";
    std::wstring::size_type slashes = 0;
    for (wchar_t c : argument) {
        if (c == L'\\') {
            ++slashes;
            continue;
        }
        // Backslashes before a quote are doubled, and the quote escaped.
        quoted.append(c == L'"' ? 2 * slashes + 1 : slashes, L'\\');
        slashes = 0;
        quoted += c;
    }
    // Those before the closing quote are doubled too.
    quoted.append(2 * slashes, L'\\');
    return quoted + L"\"";
}

}  // namespace vexmend::platform
