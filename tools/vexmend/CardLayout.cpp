#include "CardLayout.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <map>
#include <set>
#include <stdexcept>

#include "FileIdentity.h"

namespace fs = std::filesystem;

namespace {

std::string Upper(std::string text)
{
    for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

bool IsRecordingName(const fs::path& name)
{
    const std::string extension = Upper(name.extension().u8string());
    return extension == ".MXF" || extension == ".RSV" || extension == ".KLV";
}

// Why the entry at `path` is not read as a clip or a folder of the card;
// empty when it is one (`folder` tells which it should be).
std::string WhyPassed(const fs::path& path, const fs::path& source, bool folder)
{
    std::error_code error;
    if (!vexmend::LiesIn(path.u8string(), source.u8string())) {
        return "a link leading outside the card";
    }
    const fs::file_status status = fs::status(path, error);
    switch (status.type()) {
    case fs::file_type::regular: return folder ? "a file" : "";
    case fs::file_type::directory: return folder ? "" : "a folder";
    case fs::file_type::not_found: return "a broken link";
    case fs::file_type::fifo: return "a FIFO";
    case fs::file_type::socket: return "a socket";
    case fs::file_type::block:
    case fs::file_type::character: return "a device";
    default: return "not a regular file";
    }
}

class CardWalk {
public:
    explicit CardWalk(const fs::path& source, Card& card) : source(source), card(card) {}

    // The folders in `folder` named `name` in any letter case, with their
    // paths inside the card.
    std::vector<std::pair<fs::path, fs::path>> Folders(const std::pair<fs::path, fs::path>& folder,
                                                       const std::string& name)
    {
        std::vector<std::pair<fs::path, fs::path>> found;
        for (const fs::path& entry : List(folder)) {
            if (Upper(entry.filename().u8string()) != name) continue;
            const fs::path inCard = folder.second / entry.filename();
            if (std::string why = WhyPassed(entry, source, true); why.empty()) {
                found.emplace_back(entry, inCard);
            } else if (why != "a file") {
                Pass(entry, inCard, "skipped", why);
            }
        }
        return found;
    }

    void AddClips(const std::pair<fs::path, fs::path>& folder, bool soundOnly)
    {
        for (const fs::path& entry : List(folder)) {
            if (!IsRecordingName(entry.filename())) continue;
            const fs::path inCard = folder.second / entry.filename();
            if (std::string why = WhyPassed(entry, source, false); why.empty()) {
                card.clips.push_back({entry.u8string(), inCard.generic_u8string(), "", soundOnly, false, {}, ""});
            } else {
                Pass(entry, inCard, "skipped", why);
            }
        }
    }

private:
    // The entries of a folder in name order; a folder that cannot be read is
    // noted as failed.
    std::vector<fs::path> List(const std::pair<fs::path, fs::path>& folder)
    {
        std::vector<fs::path> entries;
        std::error_code error;
        fs::directory_iterator it(folder.first, error), end;
        for (; !error && it != end; it.increment(error)) entries.push_back(it->path());
        if (error) {
            Pass(folder.first, folder.second, "failed",
                 "the folder cannot be read: " + error.message());
            entries.clear();
        }
        std::sort(entries.begin(), entries.end());
        return entries;
    }

    void Pass(const fs::path& path, const fs::path& inCard, const char* outcome,
              const std::string& reason)
    {
        const std::string name = inCard.empty() ? "." : inCard.generic_u8string();
        for (const CardEntry& entry : card.passed) {
            if (entry.inCard == name) return;  // a folder listed twice
        }
        card.passed.push_back({path.u8string(), name, outcome, reason});
    }

    fs::path source;
    Card& card;
};

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

Card FindCard(const std::string& sourceText)
{
    const fs::path source = fs::u8path(sourceText);
    std::error_code error;
    if (!fs::is_directory(source, error)) throw std::runtime_error(sourceText + " is no folder");
    Card card;
    CardWalk walk(source, card);
    const std::pair<fs::path, fs::path> root{source, fs::path()};
    std::vector<std::pair<fs::path, fs::path>> video, audio;
    for (const auto& contents : walk.Folders(root, "CONTENTS")) {
        for (const auto& folder : walk.Folders(contents, "VIDEO")) video.push_back(folder);
        for (const auto& folder : walk.Folders(contents, "AUDIO")) audio.push_back(folder);
    }
    const std::vector<std::pair<fs::path, fs::path>> clip = walk.Folders(root, "CLIP");
    if (!video.empty()) {
        card.layout = "P2";
        for (const auto& folder : video) walk.AddClips(folder, false);
        for (const auto& folder : audio) walk.AddClips(folder, true);
    } else if (!clip.empty()) {
        card.layout = "XDCAM";
        for (const auto& folder : clip) walk.AddClips(folder, false);
    } else {
        card.layout = "plain";
        walk.AddClips(root, false);
    }
    NameResults(card.clips);
    return card;
}
