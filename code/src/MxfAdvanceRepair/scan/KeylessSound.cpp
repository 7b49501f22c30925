#include "MxfAdvanceRepair/scan/KeylessSound.h"

#include <algorithm>
#include <map>

#include "MxfAdvanceRepair/scan/KeylessPictures.h"

namespace vexmend {

namespace {

// The size that more than half of the track's elements have; 0 when none.
uint64_t ConstantSize(const std::vector<EssenceSample>& sounds, uint32_t track)
{
    std::map<uint64_t, size_t> sizes;
    size_t count = 0;
    for (const EssenceSample& e : sounds) {
        if (e.trackNumber != track) continue;
        ++sizes[e.size];
        ++count;
    }
    for (const auto& [size, n] : sizes) {
        if (2 * n > count) return size;
    }
    return 0;
}

}  // namespace

std::vector<EssenceSample> FindKeylessSoundElements(const ReadAtFunction& read, uint64_t fileSize,
                                                    const std::vector<EssenceSample>& pictures,
                                                    const std::vector<EssenceSample>& sounds,
                                                    const std::vector<uint32_t>& tracks)
{
    std::vector<EssenceSample> found;
    std::vector<std::pair<uint32_t, uint64_t>> sized;  // track, size
    for (uint32_t track : tracks) {
        if (uint64_t size = ConstantSize(sounds, track)) sized.emplace_back(track, size);
    }
    if (sized.empty() || pictures.empty()) return found;
    std::vector<EssenceSample> elements = pictures;
    elements.insert(elements.end(), sounds.begin(), sounds.end());
    std::sort(elements.begin(), elements.end(), EarlierInFile);
    // The tracks with an element in the package of the picture before each;
    // only a package that lacks a track is looked into.
    std::vector<uint32_t> present;
    bool complete = true;
    for (size_t e = 0; e < elements.size(); ++e) {
        if (elements[e].kind == EssenceKind::Video) {
            present.clear();
            std::vector<uint32_t> package;
            for (size_t n = e + 1; n < elements.size() && elements[n].kind != EssenceKind::Video;
                 ++n) {
                package.push_back(elements[n].trackNumber);
            }
            complete = std::all_of(sized.begin(), sized.end(), [&package](const auto& t) {
                return std::find(package.begin(), package.end(), t.first) != package.end();
            });
        } else {
            present.push_back(elements[e].trackNumber);
        }
        if (complete) continue;
        const uint64_t limit = e + 1 < elements.size()
                                   ? elements[e + 1].offset - kMinimumElementHeader
                                   : fileSize;
        // Intact items (fill, system items) are stepped over; an item
        // without a key's prefix is one whose key was destroyed.
        for (uint64_t at = elements[e].offset + elements[e].size;
             at + kMinimumElementHeader < limit;) {
            uint8_t field[9] = {};
            const uint64_t got = read(at + 16, field, sizeof field);
            const BerLength length = DecodeBerLength(field, got);
            const uint64_t value = at + 16 + length.fieldSize;
            const bool intact = KeyOrEndAt(read, fileSize, at);
            if (length.value == 0 || value + length.value > limit ||
                !(intact || KeyOrEndAt(read, fileSize, value + length.value))) {
                break;
            }
            at = value + length.value;
            if (intact) continue;
            auto track = std::find_if(sized.begin(), sized.end(), [&](const auto& t) {
                return t.second == length.value &&
                       std::find(present.begin(), present.end(), t.first) == present.end();
            });
            if (track == sized.end()) break;
            found.push_back({1, length.value, value, EssenceKind::Audio, track->first});
            present.push_back(track->first);
        }
    }
    return found;
}

}  // namespace vexmend
