#include "CardNames.h"

#include <cctype>
#include <filesystem>
#include <map>
#include <set>

namespace fs = std::filesystem;

namespace {

// The recording's name with an .MXF extension, in the letter case of the
// extension it replaces.
std::string MxfName(const std::string& name, bool whole)
{
    fs::path path = fs::u8path(name);
    const std::string extension = path.extension().u8string();
    if (Upper(extension) == ".MXF") return name;
    const bool lower = extension.size() > 1 &&
                       std::islower(static_cast<unsigned char>(extension[1]));
    if (whole) return name + (lower ? ".mxf" : ".MXF");
    return path.replace_extension(lower ? ".mxf" : ".MXF").generic_u8string();
}

}  // namespace

std::string Upper(std::string text)
{
    for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

void NameResults(std::vector<CardClip>& clips)
{
    std::map<std::string, int> uses;
    for (const CardClip& clip : clips) ++uses[Upper(MxfName(clip.inCard, false))];
    std::set<std::string> taken;
    for (CardClip& clip : clips) {
        std::string name = MxfName(clip.inCard, uses[Upper(MxfName(clip.inCard, false))] > 1);
        const fs::path path = fs::u8path(name);
        for (int number = 2; taken.count(Upper(name)) != 0; ++number) {
            name = (path.parent_path() /
                    fs::u8path(path.stem().u8string() + "-" + std::to_string(number) +
                               path.extension().u8string()))
                       .generic_u8string();
        }
        taken.insert(Upper(name));
        clip.result = name;
    }
}
