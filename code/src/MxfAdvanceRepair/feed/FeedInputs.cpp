#include "MxfAdvanceRepair/feed/FeedInputs.h"

#include <algorithm>
#include <optional>

#include "MxfAdvanceRepair/codecs/EssenceParser.h"
#include "MxfAdvanceRepair/codecs/RawVideoInput.h"
#include "MxfAdvanceRepair/feed/MatroskaStream.h"
#include "MxfAdvanceRepair/feed/TrackSound.h"

namespace vexmend {

namespace {

using Source = std::shared_ptr<const FeedSource>;

// Bytes of a picture read ahead of the rest to tell whether it is a key frame.
constexpr size_t kKeyFrameHead = 4096;

const std::vector<uint8_t>& StreamHeader(const FeedSource& source)
{
    return source.sample.essence.streamHeader;
}

// The pictures of the planned frames, after the sample's stream header
// when the plan asks for it.
void WriteVideoData(const FeedSource& source, EssenceWriter& target)
{
    FileReader reader(source.damagedPath);
    const EssenceParser& parser = FindEssenceParser(source.sample.videoCodec);
    if (source.plan.prependStreamHeader)
        target.Write(StreamHeader(source).data(), StreamHeader(source).size());
    for (const OutputFrame& frame : source.plan.packages.frames)
        CopyValue(source.pictures[frame.picture], reader, target, &parser);
}

// The track's sound of each frame of the plan; sound alone is written as
// found.
void WriteSoundTrack(const FeedSource& source, size_t t, EssenceWriter& target)
{
    FileReader reader(source.damagedPath);
    const SoundTrack& track = source.tracks[t];
    if (source.sample.SoundOnly()) {
        for (const EssenceSample* entry : track.elements) CopyValue(*entry, reader, target);
        return;
    }
    TrackSound sound(track, source.fileSize);
    for (const OutputFrame& frame : source.plan.packages.frames)
        sound.Write(frame.sounds[t], reader, target);
}

// The video and every sound track as one Matroska stream, a block for each
// picture and each track's sound of every frame of the plan.
void WriteFramedEssence(const FeedSource& source, const std::vector<MatroskaTrack>& streams,
                        EssenceWriter& target)
{
    FileReader reader(source.damagedPath);
    const EssenceParser& parser = FindEssenceParser(source.sample.videoCodec);
    const std::vector<OutputFrame>& frames = source.plan.packages.frames;
    const std::vector<uint8_t>& streamHeader = StreamHeader(source);
    MatroskaWriter stream(target, streams);
    std::vector<TrackSound> sounds;
    for (const SoundTrack& track : source.tracks) sounds.emplace_back(track, source.fileSize);
    std::vector<uint8_t> head(kKeyFrameHead);
    for (size_t f = 0; f < frames.size(); ++f) {
        // The picture's first bytes tell whether it is a key frame; they go
        // to the encoder from here, the rest straight from the file.
        const EssenceSample picture = HeldPart(source.pictures[frames[f].picture], source.fileSize);
        const size_t got = static_cast<size_t>(reader.ReadAt(
            picture.offset, head.data(), std::min<uint64_t>(picture.size, head.size())));
        const bool header = f == 0 && source.plan.prependStreamHeader;
        stream.BeginBlock(0, f, (header ? streamHeader.size() : 0) + picture.size,
                          parser.IsKeyFrame(head.data(), got));
        if (header) target.Write(streamHeader.data(), streamHeader.size());
        parser.BreakFalseStarts(head.data(), got);
        target.Write(head.data(), got);
        if (got == head.size()) {
            EssenceSample rest = picture;
            rest.offset += got;
            rest.size -= got;
            CopyValue(rest, reader, target, &parser);
        }
        stream.EndBlock();
        for (size_t t = 0; t < sounds.size(); ++t) {
            const EssenceSample* entry = frames[f].sounds[t];
            stream.BeginBlock(t + 1, f, sounds[t].Size(entry), true);
            sounds[t].Write(entry, reader, target);
            stream.EndBlock();
        }
    }
}

// The one input of framed essence; nothing when the codec or a sound format
// has no Matroska form, or the result is sound alone.
std::optional<MergeInput> FramedInput(const Source& source, const std::string& pathStem)
{
    const SampleProfile& sample = source->sample;
    auto video = MatroskaVideoTrack(sample.videoCodec, sample.videoTag, source->frameRate,
                                    sample.pictureWidth, sample.pictureHeight);
    if (sample.SoundOnly() || !video) return std::nullopt;
    std::vector<MatroskaTrack> streams{*video};
    for (const SoundTrack& track : source->tracks) {
        auto sound = MatroskaSoundTrack(track.stream);
        if (!sound) return std::nullopt;
        streams.push_back(*sound);
    }
    // The rate given exactly: the stream's timestamps count tenths of a
    // millisecond, which the result's container does not take for a rate.
    return MergeInput{
        {"-r", FrameRateText(source->frameRate), "-f", "matroska"},
        pathStem + "_Video.dat",
        [source, streams](EssenceWriter& target) { WriteFramedEssence(*source, streams, target); },
        true};
}

}  // namespace

std::vector<MergeInput> FeedInputs(const Source& source, const std::string& pathStem)
{
    std::vector<MergeInput> inputs;
    if (std::optional<MergeInput> framed = FramedInput(source, pathStem)) {
        inputs.push_back(std::move(*framed));
        return inputs;
    }
    if (!source->sample.SoundOnly()) {
        inputs.push_back({RawVideoArguments(source->sample.videoCodec, source->frameRate),
                          pathStem + "_Video.dat",
                          [source](EssenceWriter& target) { WriteVideoData(*source, target); }});
    }
    for (size_t t = 0; t < source->tracks.size(); ++t) {
        inputs.push_back(
            {source->tracks[t].stream.Arguments(), AudioDataPath(pathStem, source->tracks[t].index),
             [source, t](EssenceWriter& target) { WriteSoundTrack(*source, t, target); }});
    }
    return inputs;
}

std::string AudioDataPath(const std::string& pathStem, size_t track)
{
    return pathStem + (track == 0 ? "_Audio.dat" : "_Audio" + std::to_string(track + 1) + ".dat");
}

}  // namespace vexmend
