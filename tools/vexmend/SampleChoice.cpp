#include "SampleChoice.h"

namespace {

// MPEG-1 and MPEG-2 pictures begin alike, and the scan names both MPEG-2.
bool SameCodec(const std::string& a, const std::string& b)
{
    auto family = [](const std::string& codec) {
        return codec == "mpeg1video" ? std::string("mpeg2video") : codec;
    };
    return family(a) == family(b);
}

bool Matches(const MediaInfo& candidate, const MediaInfo& known)
{
    if (known.HasVideo() != candidate.HasVideo()) return false;
    if (known.HasVideo() &&
        (!SameCodec(known.videoCodec, candidate.videoCodec) || known.width != candidate.width ||
         known.height != candidate.height || known.frameRate != candidate.frameRate)) {
        return false;
    }
    if (known.audio.size() != candidate.audio.size()) return false;
    for (size_t t = 0; t < known.audio.size(); ++t) {
        const AudioTrackInfo &a = known.audio[t], &b = candidate.audio[t];
        if (a.codec != b.codec || a.sampleRate != b.sampleRate || a.channels != b.channels) {
            return false;
        }
    }
    return true;
}

bool MatchesScan(const MediaInfo& candidate, const vexmend::ScanSummary& scan)
{
    if (scan.pictures > 0 && scan.codec != "unknown" &&
        !SameCodec(scan.codec, candidate.videoCodec)) {
        return false;
    }
    return scan.soundTracks.empty() || scan.soundTracks.size() == candidate.audio.size();
}

}  // namespace

int ChooseSample(const std::vector<CardClip>& clips, const std::vector<MediaInfo>& checked,
                 const std::vector<char>& healthy, const std::optional<vexmend::ScanSummary>& scan,
                 size_t index)
{
    const MediaInfo& known = checked[index];
    const bool byScan = !known.HasVideo() && known.audio.empty() && scan;
    int best = -1;
    for (size_t i = 0; i < clips.size(); ++i) {
        const MediaInfo& candidate = checked[i];
        // Proxies are samples for proxies alone, and main clips for main clips.
        if (i == index || !healthy[i] || clips[i].soundOnly != clips[index].soundOnly ||
            clips[i].proxy != clips[index].proxy ||
            (byScan ? !MatchesScan(candidate, *scan) : !Matches(candidate, known))) {
            continue;
        }
        auto distance = [index](size_t at) { return at > index ? at - index : index - at; };
        if (best < 0 || distance(i) < distance(static_cast<size_t>(best)))
            best = static_cast<int>(i);
    }
    return best;
}
