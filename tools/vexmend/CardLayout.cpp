#include "CardLayout.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <stdexcept>

namespace fs = std::filesystem;

namespace {

std::string Upper(std::string text)
{
    for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

// The entry of `folder` named `name` in any letter case; empty when none.
fs::path Entry(const fs::path& folder, const std::string& name, bool wantFolder)
{
    std::error_code error;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder, error)) {
        if (Upper(entry.path().filename().u8string()) == name &&
            entry.is_directory(error) == wantFolder) {
            return entry.path();
        }
    }
    return fs::path();
}

// The recordings in `folder`, in name order.
std::vector<fs::path> Recordings(const fs::path& folder)
{
    std::vector<fs::path> files;
    std::error_code error;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder, error)) {
        const std::string extension = Upper(entry.path().extension().u8string());
        if (entry.is_regular_file(error) &&
            (extension == ".MXF" || extension == ".RSV" || extension == ".KLV")) {
            files.push_back(entry.path());
        }
    }
    std::sort(files.begin(), files.end());
    return files;
}

// A result is always an MXF file: .RSV and .KLV recordings are renamed.
std::string ResultName(const fs::path& relative)
{
    fs::path name = relative;
    const std::string extension = relative.extension().u8string();
    if (Upper(extension) != ".MXF") {
        const bool lower = !extension.empty() &&
                           std::islower(static_cast<unsigned char>(extension[1]));
        name.replace_extension(lower ? ".mxf" : ".MXF");
    }
    return name.generic_u8string();
}

void AddClips(Card& card, const fs::path& source, const fs::path& folder, bool soundOnly)
{
    for (const fs::path& file : Recordings(folder)) {
        card.clips.push_back({file.u8string(), ResultName(fs::relative(file, source)), soundOnly});
    }
}

}  // namespace

Card FindCard(const std::string& sourceText)
{
    const fs::path source = fs::u8path(sourceText);
    std::error_code error;
    if (!fs::is_directory(source, error)) throw std::runtime_error(sourceText + " is no folder");
    Card card;
    const fs::path contents = Entry(source, "CONTENTS", true);
    const fs::path video = contents.empty() ? fs::path() : Entry(contents, "VIDEO", true);
    const fs::path clip = Entry(source, "CLIP", true);
    if (!video.empty()) {
        card.layout = "P2";
        AddClips(card, source, video, false);
        if (fs::path audio = Entry(contents, "AUDIO", true); !audio.empty()) {
            AddClips(card, source, audio, true);
        }
    } else if (!clip.empty()) {
        card.layout = "XDCAM";
        AddClips(card, source, clip, false);
    } else {
        card.layout = "plain";
        AddClips(card, source, source, false);
    }
    return card;
}
