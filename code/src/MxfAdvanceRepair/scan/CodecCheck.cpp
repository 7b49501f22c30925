#include "MxfAdvanceRepair/scan/CodecCheck.h"

#include <algorithm>

#include "MxfAdvanceRepair/codecs/EssenceParser.h"

namespace vexmend {

namespace {

// Picture elements, spread over the file, whose key and first bytes are held
// against the sample's.
constexpr size_t kCodecChecks = 32;

}  // namespace

std::string PictureCodecMismatch(const ReadAtFunction& read,
                                 const std::vector<EssenceSample>& pictures,
                                 const SampleProfile& sample)
{
    // The element type (key byte 15) tells the essence mapping, the first
    // bytes the codec; a few damaged pictures must not decide.
    const uint32_t mapping = 0xFF00FF00;
    const EssenceParser& parser = FindEssenceParser(sample.videoCodec);
    const size_t step = std::max<size_t>(1, pictures.size() / kCodecChecks);
    size_t checked = 0, alike = 0;
    std::string found;
    for (size_t i = 0; i < pictures.size(); i += step, ++checked) {
        const EssenceSample& picture = pictures[i];
        uint8_t head[16] = {};
        const size_t size = static_cast<size_t>(
            read(picture.offset, head, std::min<uint64_t>(picture.size, sizeof head)));
        const bool sameKey = sample.essence.pictureKey == 0 ||
                             (picture.trackNumber & mapping) ==
                                 (sample.essence.pictureKey & mapping);
        if (sameKey && parser.BeginsFrame(head, size)) {
            ++alike;
        } else if (found.empty()) {
            found = CodecOfFrame(head, size);
        }
    }
    if (2 * alike > checked) return std::string();
    return "damaged file " + found + ", sample " +
           (sample.videoCodec.empty() ? "unknown" : sample.videoCodec);
}

}  // namespace vexmend
