#include "CardLayout.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <map>
#include <set>
#include <stdexcept>

#include "CardNames.h"
#include "FileIdentity.h"

namespace fs = std::filesystem;

namespace {

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

using Place = std::pair<fs::path, fs::path>;  // a path and its path inside the card

// Extensions of the files kept beside a card's clips: clip metadata, icons,
// voice memos, thumbnails and the proxies and indexes some cameras write.
bool IsSidecarName(const fs::path& name)
{
    static const std::set<std::string> kSidecars = {".XML", ".BMP", ".WAV", ".BIM", ".JPG", ".PPN",
                                                    ".CPF", ".CIF", ".IND", ".SMI", ".MP4", ".BIN"};
    return kSidecars.count(Upper(name.extension().u8string())) != 0;
}

// Folders are searched for a card this deep below the folder given: a mount
// root holds PRIVATE/XDROOT, and a folder above it adds a level or two.
constexpr int kSearchDepth = 4;

class CardWalk {
public:
    explicit CardWalk(const fs::path& source, Card& card) : source(source), card(card) {}

    // Looks for the cards' own folders in `folder` and, where it is none,
    // in the folders below it.
    void Search(const Place& folder, int depth)
    {
        if (Recognise(folder) || depth >= kSearchDepth) return;
        for (const fs::path& entry : List(folder, false)) {
            if (WhyPassed(entry, source, true).empty()) {
                Search({entry, folder.second / entry.filename()}, depth + 1);
            }
        }
    }

    // The recordings of `folder` itself, as a plain folder's clips.
    void AddPlain(const Place& folder)
    {
        Found("plain");
        for (CardClip& clip : Recordings(folder)) card.clips.push_back(clip);
    }

private:
    // Adds the clips of the card whose folder `folder` is; false when it is none.
    bool Recognise(const Place& folder)
    {
        const std::string name = Upper(folder.first.filename().u8string());
        if (name == "CONTENTS") {
            const std::vector<Place> video = Folders(folder, "VIDEO"),
                                     audio = Folders(folder, "AUDIO");
            if (!video.empty() || !audio.empty()) return AddP2(folder, video, audio);
            std::vector<Place> spanned;
            for (const Place& sub : Folders(folder, "")) {
                const std::string subName = Upper(sub.first.filename().u8string());
                if (subName.size() == 8 && subName.rfind("CLIPS", 0) == 0 &&
                    std::all_of(subName.begin() + 5, subName.end(),
                                [](unsigned char c) { return std::isdigit(c) != 0; })) {
                    for (const Place& clip : Folders(sub, "")) spanned.push_back(clip);
                }
            }
            if (!spanned.empty()) return AddXf(folder, spanned);
        }
        if (name == "MXF" &&
            Upper(folder.first.parent_path().filename().u8string()) == "AVID MEDIAFILES") {
            Found("Avid");
            for (const Place& sub : Folders(folder, "")) AddClips(sub, false, false);
            return true;
        }
        const std::vector<Place> clip = Folders(folder, "CLIP");
        if (clip.empty()) return false;
        Found("XDCAM");
        for (const Place& f : clip) AddClips(f, false, false, "M01.XML");
        for (const Place& f : Folders(folder, "SUB")) AddClips(f, false, true);
        AddSidecars(folder, 0);
        return true;
    }

    bool AddP2(const Place& contents, const std::vector<Place>& video,
               const std::vector<Place>& audio)
    {
        Found("P2");
        for (const Place& folder : video) AddClips(folder, false, false);
        for (const Place& folder : audio) AddClips(folder, true, false);
        // The clip's XML is CLIP/<clip>.XML; an audio file's name adds its
        // track number to the clip's six characters.
        std::map<std::string, std::string> xml;
        for (const Place& folder : Folders(contents, "CLIP")) {
            for (const fs::path& entry : List(folder, false)) {
                if (Upper(entry.extension().u8string()) == ".XML") {
                    xml[Upper(entry.stem().u8string())] = entry.u8string();
                }
            }
        }
        for (CardClip& clip : card.clips) {
            const std::string stem = Upper(fs::u8path(clip.path).stem().u8string());
            if (fs::u8path(clip.path).parent_path().parent_path() != contents.first) continue;
            if (auto found = xml.find(stem.substr(0, 6)); found != xml.end()) {
                clip.metadata = found->second;
            }
        }
        AddSidecars(contents, 0);
        return true;
    }

    // Canon XF: a folder per clip, its recording spanned over <clip>01.MXF,
    // <clip>02.MXF and on where it outgrew the card's file size limit.
    bool AddXf(const Place& contents, const std::vector<Place>& clips)
    {
        Found("XF");
        for (const Place& folder : clips) {
            std::vector<CardClip> spans = Recordings(folder);
            if (spans.empty()) continue;
            for (size_t i = 1; i < spans.size(); ++i) spans[0].spans.push_back(spans[i].path);
            card.clips.push_back(spans[0]);
        }
        AddSidecars(contents, 0);
        return true;
    }

    // The recordings in `folder`, in name order; with `metadata`, the clip's
    // sidecar named by its name and that ending.
    void AddClips(const Place& folder, bool soundOnly, bool proxy, const std::string& metadata = "")
    {
        std::map<std::string, std::string> beside;
        if (!metadata.empty()) {
            for (const fs::path& entry : List(folder, false)) {
                beside[Upper(entry.filename().u8string())] = entry.u8string();
            }
        }
        for (CardClip& clip : Recordings(folder)) {
            clip.soundOnly = soundOnly;
            clip.proxy = proxy;
            if (auto found = beside.find(Upper(fs::u8path(clip.path).stem().u8string()) + metadata);
                found != beside.end()) {
                clip.metadata = found->second;
            }
            card.clips.push_back(clip);
        }
    }

    std::vector<CardClip> Recordings(const Place& folder)
    {
        std::vector<CardClip> found;
        for (const fs::path& entry : List(folder, true)) {
            if (!IsRecordingName(entry.filename())) continue;
            const fs::path inCard = folder.second / entry.filename();
            if (std::string why = WhyPassed(entry, source, false); why.empty()) {
                found.push_back(
                    {entry.u8string(), inCard.generic_u8string(), "", false, false, {}, ""});
            } else {
                Pass(entry, inCard, "skipped", why);
            }
        }
        return found;
    }

    // The sidecar files under a card's folder, a few levels down.
    void AddSidecars(const Place& folder, int depth)
    {
        for (const fs::path& entry : List(folder, false)) {
            const Place place{entry, folder.second / entry.filename()};
            if (IsSidecarName(entry.filename()) && WhyPassed(entry, source, false).empty()) {
                card.sidecars.push_back({entry.u8string(), place.second.generic_u8string()});
            } else if (depth < 2 && WhyPassed(entry, source, true).empty()) {
                AddSidecars(place, depth + 1);
            }
        }
    }

    // The folders in `folder` named `name` in any letter case (any name
    // when empty), with their paths inside the card.
    std::vector<Place> Folders(const Place& folder, const std::string& name)
    {
        std::vector<Place> found;
        for (const fs::path& entry : List(folder, false)) {
            if (!name.empty() && Upper(entry.filename().u8string()) != name) continue;
            const fs::path inCard = folder.second / entry.filename();
            if (std::string why = WhyPassed(entry, source, true); why.empty()) {
                found.emplace_back(entry, inCard);
            } else if (why != "a file" && !name.empty()) {
                Pass(entry, inCard, "skipped", why);
            }
        }
        return found;
    }

    void Found(const std::string& layout)
    {
        if (card.layout.empty()) {
            card.layout = layout;
        } else if (("+" + card.layout + "+").find("+" + layout + "+") == std::string::npos) {
            card.layout += "+" + layout;
        }
    }

    // The entries of a folder in name order; a clip folder that cannot be
    // read is noted as failed (`clips`), any other is passed over.
    std::vector<fs::path> List(const Place& folder, bool clips)
    {
        std::vector<fs::path> entries;
        std::error_code error;
        fs::directory_iterator it(folder.first, error), end;
        for (; !error && it != end; it.increment(error)) entries.push_back(it->path());
        if (error) {
            if (clips) {
                Pass(folder.first, folder.second, "failed",
                     "the folder cannot be read: " + error.message());
            }
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

}  // namespace

Card FindCard(const std::string& sourceText)
{
    const fs::path source = fs::u8path(sourceText);
    std::error_code error;
    if (!fs::is_directory(source, error)) throw std::runtime_error(sourceText + " is no folder");
    Card card;
    CardWalk walk(source, card);
    const Place root{source, fs::path()};
    walk.Search(root, 0);
    if (card.layout.empty()) walk.AddPlain(root);
    NameResults(card.clips);
    return card;
}
