#include "CardReport.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <sstream>

#include "Json.h"

namespace {

std::string OrNull(const std::string& text) { return text.empty() ? "null" : JsonString(text); }

double Duration(const MediaInfo& media)
{
    return media.duration > 0 ? media.duration : media.readSeconds;
}

std::string Name(const std::string& path)
{
    return path.empty() ? "-" : std::filesystem::u8path(path).filename().u8string();
}

std::string AudioText(const MediaInfo& media)
{
    if (media.audio.empty()) return "-";
    const AudioTrackInfo& first = media.audio[0];
    const bool alike = std::all_of(media.audio.begin(), media.audio.end(), [&](const auto& t) {
        return t.codec == first.codec && t.channels == first.channels;
    });
    std::string text = std::to_string(media.audio.size()) + "x ";
    return alike ? text + first.codec + "/" + std::to_string(first.channels) + "ch"
                 : text + "mixed";
}

// The result's pictures against those the clip's header states.
std::string Pictures(const ClipRecord& r)
{
    return std::to_string(r.media.frames) + "/" + (r.stated > 0 ? std::to_string(r.stated) : "?");
}

}  // namespace

std::string CardReportJson(const Card& card, const CardOptions& options, const CardRun& run)
{
    std::ostringstream json;
    json << "{\n  \"source\": " << JsonString(options.source)
         << ",\n  \"output\": " << JsonString(options.output)
         << ",\n  \"layout\": " << JsonString(card.layout)
         << ",\n  \"interrupted\": " << (run.stopped ? "true" : "false") << ",\n  \"clips\": [";
    const char* separator = "\n";
    for (const ClipRecord& r : run.records) {
        json << separator << "    {\"source\": " << JsonString(r.clip.path)
             << ", \"in_card\": " << JsonString(r.clip.inCard)
             << ", \"proxy\": " << (r.clip.proxy ? "true" : "false")
             << ", \"name_not_utf8\": " << (IsUtf8(r.clip.path) ? "false" : "true")
             << ",\n     \"result\": " << OrNull(r.result)
             << ", \"outcome\": " << JsonString(r.outcome) << ", \"code\": " << r.code
             << ", \"sample\": " << OrNull(r.sample) << ", \"reason\": " << OrNull(r.reason)
             << ", \"general_refused\": " << OrNull(r.rejected)
             << ",\n     \"frames\": " << r.media.frames << ", \"frames_stated\": " << r.stated
             << ", \"duration\": " << JsonNumber(Duration(r.media))
             << ", \"video_codec\": " << OrNull(r.media.videoCodec)
             << ", \"timecode\": " << OrNull(r.media.timecode) << ", \"audio_tracks\": [";
        const char* comma = "";
        for (const AudioTrackInfo& t : r.media.audio) {
            json << comma << "{\"codec\": " << JsonString(t.codec)
                 << ", \"sample_format\": " << JsonString(t.sampleFormat)
                 << ", \"sample_rate\": " << t.sampleRate << ", \"channels\": " << t.channels
                 << "}";
            comma = ", ";
        }
        json << "],\n     \"scan\": ";
        if (r.scan) {
            json << "{\"picture_elements\": " << r.scan->pictures
                 << ", \"sound_elements\": " << r.scan->SoundElements()
                 << ", \"unrecognised_bytes\": " << r.scan->unrecognised
                 << ", \"damaged_ranges\": [";
            const char* comma = "";
            for (const vexmend::ByteRun& run : r.scan->damaged) {
                json << comma << "{\"offset\": " << run.offset << ", \"length\": " << run.length
                     << "}";
                comma = ", ";
            }
            json << "]}";
        } else {
            json << "null";
        }
        json << "}";
        separator = ",\n";
    }
    json << "\n  ]\n}\n";
    return json.str();
}

std::string CardReportTable(const std::vector<ClipRecord>& records)
{
    std::ostringstream table;
    char line[512];
    std::snprintf(line, sizeof line, "%-28s %-8s %6s %13s %8s %-11s %-22s %-12s %-16s %s\n", "clip",
                  "outcome", "code", "frames/stated", "seconds", "video", "audio", "timecode",
                  "sample", "scan (pictures/sounds/unrecognised)");
    table << line;
    for (const ClipRecord& r : records) {
        std::string scan = "-";
        if (r.scan) {
            scan = std::to_string(r.scan->pictures) + "/" +
                   std::to_string(r.scan->SoundElements()) + "/" +
                   std::to_string(r.scan->unrecognised);
        }
        std::snprintf(line, sizeof line, "%-28s %-8s %6d %13s %8.2f %-11s %-22s %-12s %-16s %s\n",
                      (r.clip.inCard + (r.clip.proxy ? " (proxy)" : "")).c_str(), r.outcome.c_str(),
                      static_cast<int>(r.code), Pictures(r).c_str(), Duration(r.media),
                      r.media.videoCodec.empty() ? "-" : r.media.videoCodec.c_str(),
                      AudioText(r.media).c_str(),
                      r.media.timecode.empty() ? "-" : r.media.timecode.c_str(),
                      Name(r.sample).c_str(), scan.c_str());
        table << line;
        if (!r.result.empty() && r.clip.result != r.clip.inCard) {
            table << "    result: " << r.clip.result << "\n";
        }
        if (!r.rejected.empty()) table << "    general repair refused: " << r.rejected << "\n";
        if (!r.reason.empty()) table << "    " << r.reason << "\n";
    }
    return table.str();
}

std::string CardSummary(const CardRun& run)
{
    auto count = [&](const char* outcome) {
        return std::count_if(run.records.begin(), run.records.end(),
                             [&](const ClipRecord& r) { return r.outcome == outcome; });
    };
    const long general = count("general"), advance = count("advance"), skipped = count("skipped");
    return std::to_string(run.records.size() - static_cast<size_t>(skipped)) +
           " clips: " + std::to_string(count("healthy")) + " healthy, " +
           std::to_string(general + advance) + " repaired (" + std::to_string(general) +
           " general, " + std::to_string(advance) + " advance), " +
           std::to_string(count("failed")) + " failed, " + std::to_string(skipped) + " skipped" +
           (run.stopped ? "; stopped before the end\n" : "\n");
}
