#include "ClipScan.h"

#include <cstdio>
#include <sstream>

#include "Json.h"

namespace {

using vexmend::ByteRun;

std::string Hex(uint32_t value)
{
    char text[16];
    std::snprintf(text, sizeof text, "%08X", value);
    return text;
}

}  // namespace

std::string ScanText(const std::string& path, const vexmend::ScanSummary& scan)
{
    std::ostringstream text;
    text << "file:           " << path << " (" << scan.fileSize << " bytes)\n"
         << "codec:          " << scan.codec << "\n"
         << "frames:         " << scan.pictures << " picture elements\n"
         << "sound tracks:   " << scan.soundTracks.size() << "\n";
    for (const auto& [track, count] : scan.soundTracks) {
        text << "  track " << Hex(track) << ": " << count << " sound elements\n";
    }
    text << "timecode:       " << (scan.timecode.empty() ? "none" : scan.timecode) << "\n"
         << "unrecognised:   " << scan.unrecognised << " bytes\n"
         << "damaged ranges: " << scan.damaged.size() << "\n";
    for (const ByteRun& run : scan.damaged) {
        text << "  offset " << run.offset << ", length " << run.length << "\n";
    }
    return text.str();
}

std::string ScanJson(const std::string& path, const vexmend::ScanSummary& scan)
{
    std::ostringstream json;
    json << "{\"file\": " << JsonString(path) << ", \"size\": " << scan.fileSize
         << ", \"codec\": " << JsonString(scan.codec) << ", \"frames\": " << scan.pictures
         << ", \"sound_tracks\": [";
    const char* separator = "";
    for (const auto& [track, count] : scan.soundTracks) {
        json << separator << "{\"track\": " << JsonString(Hex(track)) << ", \"elements\": " << count
             << "}";
        separator = ", ";
    }
    json << "], \"timecode\": " << (scan.timecode.empty() ? "null" : JsonString(scan.timecode))
         << ", \"unrecognised_bytes\": " << scan.unrecognised << ", \"damaged_ranges\": [";
    separator = "";
    for (const ByteRun& run : scan.damaged) {
        json << separator << "{\"offset\": " << run.offset << ", \"length\": " << run.length << "}";
        separator = ", ";
    }
    json << "]}\n";
    return json.str();
}
