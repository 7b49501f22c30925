#include "FileIdentity.h"

#include <cstdio>
#include <filesystem>
#include <random>
#if defined(_WIN32)
#include <cwctype>
#endif

namespace vexmend {

namespace fs = std::filesystem;

namespace {

// The absolute path with ".", ".." and links resolved as far as it exists.
fs::path Resolved(const std::string& utf8)
{
    std::error_code error;
    fs::path path = fs::absolute(fs::u8path(utf8), error);
    if (error) path = fs::u8path(utf8);
    fs::path resolved = fs::weakly_canonical(path, error);
    if (error) resolved = path.lexically_normal();
    if (resolved.filename().empty() && resolved.has_relative_path()) {
        resolved = resolved.parent_path();
    }
    return resolved;
}

// A path or path element as compared; Windows ignores letter case.
fs::path::string_type Key(const fs::path& path)
{
#if defined(_WIN32)
    std::wstring text = path.generic_wstring();
    for (wchar_t& c : text) c = static_cast<wchar_t>(std::towlower(c));
    return text;
#else
    return path.native();
#endif
}

}  // namespace

bool SamePath(const std::string& a, const std::string& b)
{
    std::error_code error;
    if (fs::equivalent(fs::u8path(a), fs::u8path(b), error)) return true;
    return Key(Resolved(a)) == Key(Resolved(b));
}

bool LiesIn(const std::string& path, const std::string& folder)
{
    const fs::path inside = Resolved(path);
    const fs::path outer = Resolved(folder);
    if (outer.empty()) return false;
    auto at = inside.begin();
    bool prefix = true;
    for (const fs::path& part : outer) {
        if (at == inside.end() || Key(*at) != Key(part)) {
            prefix = false;
            break;
        }
        ++at;
    }
    if (prefix && at != inside.end()) return true;
    // The folder reached by another name (a bind mount, another spelling):
    // an existing folder above the path that is the same folder.
    std::error_code error;
    for (fs::path up = inside.parent_path(); !up.empty(); up = up.parent_path()) {
        if (fs::equivalent(up, outer, error)) return true;
        if (up == up.parent_path()) break;
    }
    return false;
}

std::string EncoderFileName(const std::string& path)
{
    // Two separators begin a network or device path (a Windows named pipe),
    // which is absolute already and has no drive to take.
    auto separator = [](char c) { return c == '/' || c == '\\'; };
    if (path.size() > 2 && separator(path[0]) && separator(path[1])) return "file:" + path;
    std::error_code error;
    fs::path absolute = fs::absolute(fs::u8path(path), error);
    return "file:" + (error ? fs::u8path(path) : absolute).u8string();
}

bool IsSpecialEntry(const std::string& path)
{
    std::error_code error;
    fs::file_status status = fs::status(fs::u8path(path), error);
    return fs::exists(status) && !fs::is_regular_file(status);
}

std::string UniqueName()
{
    std::random_device random;
    char name[17];
    std::snprintf(name, sizeof name, "%08x%08x", static_cast<unsigned>(random()),
                  static_cast<unsigned>(random()));
    return name;
}

}  // namespace vexmend
