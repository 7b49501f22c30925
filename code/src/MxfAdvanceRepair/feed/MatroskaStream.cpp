#include "MxfAdvanceRepair/feed/MatroskaStream.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "MxfAdvanceRepair/feed/EssenceFeed.h"
#include "MxfAdvanceRepair/codecs/CodecTable.h"

namespace vexmend {

namespace {

// Element IDs (with their length marker bits, as written).
constexpr uint32_t kEbml = 0x1A45DFA3, kEbmlVersion = 0x4286, kEbmlReadVersion = 0x42F7,
                   kEbmlMaxIdLength = 0x42F2, kEbmlMaxSizeLength = 0x42F3, kDocType = 0x4282,
                   kDocTypeVersion = 0x4287, kDocTypeReadVersion = 0x4285, kSegment = 0x18538067,
                   kInfo = 0x1549A966, kTimestampScale = 0x2AD7B1, kMuxingApp = 0x4D80,
                   kWritingApp = 0x5741, kTracks = 0x1654AE6B, kTrackEntry = 0xAE,
                   kTrackNumber = 0xD7, kTrackUid = 0x73C5, kTrackType = 0x83, kFlagLacing = 0x9C,
                   kCodecId = 0x86, kCodecPrivate = 0x63A2, kDefaultDuration = 0x23E383,
                   kVideo = 0xE0, kPixelWidth = 0xB0, kPixelHeight = 0xBA, kAudio = 0xE1,
                   kSamplingFrequency = 0xB5, kChannels = 0x9F, kBitDepth = 0x6264,
                   kCluster = 0x1F43B675, kTimestamp = 0xE7, kSimpleBlock = 0xA3;
// Timestamps count tenths of a millisecond; a block's is within 32767 of its
// cluster's.
constexpr uint64_t kTimestampNanoseconds = 100000;
constexpr int64_t kClusterSpan = 30000;
// A size field of eight bytes takes any size, also the unknown one.
constexpr uint64_t kUnknownSize = 0x00FFFFFFFFFFFFFFull;

using Bytes = std::vector<uint8_t>;

// The last `count` bytes of `value`, most significant first.
void PutBigEndian(Bytes& out, uint64_t value, int count)
{
    for (int shift = 8 * (count - 1); shift >= 0; shift -= 8) {
        out.push_back(static_cast<uint8_t>(value >> shift));
    }
}

void PutId(Bytes& out, uint32_t id)
{
    PutBigEndian(out, id, id > 0xFFFFFF ? 4 : id > 0xFFFF ? 3 : id > 0xFF ? 2 : 1);
}

void PutSize(Bytes& out, uint64_t size)
{
    out.push_back(0x01);
    PutBigEndian(out, size, 7);
}

void PutElement(Bytes& out, uint32_t id, const Bytes& value)
{
    PutId(out, id);
    PutSize(out, value.size());
    out.insert(out.end(), value.begin(), value.end());
}

// In as few bytes as hold it, at least one.
void PutUnsigned(Bytes& out, uint32_t id, uint64_t value)
{
    int count = 1;
    while (count < 8 && (value >> (8 * count)) != 0) ++count;
    Bytes bytes;
    PutBigEndian(bytes, value, count);
    PutElement(out, id, bytes);
}

void PutText(Bytes& out, uint32_t id, const std::string& text)
{
    PutElement(out, id, Bytes(text.begin(), text.end()));
}

void PutFloat(Bytes& out, uint32_t id, double value)
{
    uint64_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    Bytes bytes;
    PutBigEndian(bytes, bits, 8);
    PutElement(out, id, bytes);
}

// A BITMAPINFOHEADER naming the codec by its four characters.
Bytes BitmapInfoHeader(const char* fourcc, int width, int height)
{
    Bytes header(40, 0);
    auto put32 = [&](size_t at, uint32_t value) {
        for (size_t i = 0; i < 4; ++i) header[at + i] = static_cast<uint8_t>(value >> (8 * i));
    };
    put32(0, 40);
    put32(4, static_cast<uint32_t>(width));
    put32(8, static_cast<uint32_t>(height));
    header[12] = 1;   // planes
    header[14] = 24;  // bits a pixel
    std::memcpy(&header[16], fourcc, 4);
    return header;
}

Bytes TrackEntry(size_t number, const MatroskaTrack& track)
{
    Bytes entry;
    PutUnsigned(entry, kTrackNumber, number);
    PutUnsigned(entry, kTrackUid, number);
    PutUnsigned(entry, kTrackType, track.video ? 1 : 2);
    PutUnsigned(entry, kFlagLacing, 0);
    PutText(entry, kCodecId, track.codecId);
    if (!track.codecPrivate.empty()) PutElement(entry, kCodecPrivate, track.codecPrivate);
    if (track.video) {
        PutUnsigned(entry, kDefaultDuration, track.frameNanoseconds);
        Bytes video;
        PutUnsigned(video, kPixelWidth, static_cast<uint64_t>(track.width));
        PutUnsigned(video, kPixelHeight, static_cast<uint64_t>(track.height));
        PutElement(entry, kVideo, video);
    } else {
        Bytes audio;
        PutFloat(audio, kSamplingFrequency, track.sampleRate);
        PutUnsigned(audio, kChannels, static_cast<uint64_t>(track.channels));
        PutUnsigned(audio, kBitDepth, static_cast<uint64_t>(track.bitDepth));
        PutElement(entry, kAudio, audio);
    }
    return entry;
}

}  // namespace

std::optional<MatroskaTrack> MatroskaVideoTrack(const std::string& codec, const std::string& tag,
                                                double rate, int width, int height)
{
    const CodecFacts* row = FindCodec(codec);
    if (row == nullptr || row->matroskaCodecId == nullptr) return std::nullopt;
    MatroskaTrack track;
    track.codecId = row->matroskaCodecId;
    if (row->fourcc != nullptr && track.codecId == "V_MS/VFW/FOURCC") {
        track.codecPrivate = BitmapInfoHeader(row->fourcc, width, height);
    } else if (row->fourcc != nullptr) {
        const std::string code = tag.size() == 4 ? tag : row->fourcc;
        track.codecPrivate.assign(code.begin(), code.end());
    }
    if (rate <= 0 || width <= 0 || height <= 0) return std::nullopt;
    track.frameNanoseconds = static_cast<uint64_t>(std::llround(1e9 / rate));
    track.width = width;
    track.height = height;
    return track;
}

std::optional<MatroskaTrack> MatroskaSoundTrack(const AudioStreamDescription& stream)
{
    const std::string& format = stream.sampleFormat;
    if (!stream.Usable() || format.empty() || format[0] != 's') return std::nullopt;
    MatroskaTrack track;
    track.video = false;
    const bool big = format.size() > 2 && format.compare(format.size() - 2, 2, "be") == 0;
    track.codecId = big ? "A_PCM/INT/BIG" : "A_PCM/INT/LIT";
    track.sampleRate = stream.sampleRate;
    track.channels = stream.channels;
    track.bitDepth = 8 * stream.BytesPerSample();
    return track;
}

MatroskaWriter::MatroskaWriter(EssenceWriter& target, const std::vector<MatroskaTrack>& tracks)
    : target(target), frameNanoseconds(tracks.empty() ? 0 : tracks[0].frameNanoseconds)
{
    Bytes ebml, header, info, entries;
    PutUnsigned(ebml, kEbmlVersion, 1);
    PutUnsigned(ebml, kEbmlReadVersion, 1);
    PutUnsigned(ebml, kEbmlMaxIdLength, 4);
    PutUnsigned(ebml, kEbmlMaxSizeLength, 8);
    PutText(ebml, kDocType, "matroska");
    PutUnsigned(ebml, kDocTypeVersion, 4);
    PutUnsigned(ebml, kDocTypeReadVersion, 2);
    PutElement(header, kEbml, ebml);
    PutId(header, kSegment);
    PutSize(header, kUnknownSize);
    PutUnsigned(info, kTimestampScale, kTimestampNanoseconds);
    PutText(info, kMuxingApp, "vexmend");
    PutText(info, kWritingApp, "vexmend");
    PutElement(header, kInfo, info);
    for (size_t i = 0; i < tracks.size(); ++i) {
        PutElement(entries, kTrackEntry, TrackEntry(i + 1, tracks[i]));
    }
    PutElement(header, kTracks, entries);
    target.Write(header.data(), header.size());
}

void MatroskaWriter::BeginBlock(size_t track, uint64_t frame, uint64_t size, bool key)
{
    const int64_t time = static_cast<int64_t>(frame * frameNanoseconds / kTimestampNanoseconds);
    Bytes header;
    if (clusterTime < 0 || time - clusterTime > kClusterSpan) {
        clusterTime = time;
        PutId(header, kCluster);
        PutSize(header, kUnknownSize);
        PutUnsigned(header, kTimestamp, static_cast<uint64_t>(time));
    }
    PutId(header, kSimpleBlock);
    PutSize(header, size + 4);
    header.push_back(static_cast<uint8_t>(0x80 | (track + 1)));  // track numbers up to 127
    const int64_t relative = time - clusterTime;
    header.push_back(static_cast<uint8_t>(relative >> 8));
    header.push_back(static_cast<uint8_t>(relative));
    header.push_back(key ? 0x80 : 0x00);
    target.Write(header.data(), header.size());
    blockEnd = target.Count() + size;
}

void MatroskaWriter::EndBlock()
{
    if (target.Count() < blockEnd) target.WriteZeros(blockEnd - target.Count());
}

}  // namespace vexmend
