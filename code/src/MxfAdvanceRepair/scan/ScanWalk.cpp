#include "MxfAdvanceRepair/scan/ScanWalk.h"

#include <algorithm>

#include "StreamBuffer.h"

namespace vexmend {

namespace {

// Counts the positions from the reader's current byte on that the byte walk
// would reject one by one, given that the current byte is already known to be
// rejected. Only positions that the walk would test against the present
// window (without a refill, so with the same offered byte counts) are
// examined, and at most `limit` positions are counted, so stepping by the
// result leaves the walk in exactly the state that single steps would.
uint64_t CountRejectedPositions(const StreamBuffer& reader, uint64_t lookAheadLimit, uint64_t limit)
{
    const uint8_t* data = reader.Data();
    uint64_t available = static_cast<uint64_t>(static_cast<int64_t>(reader.Available()));
    uint64_t lookAhead = std::min(reader.Remaining(), lookAheadLimit);
    if (available < lookAhead) return 1;
    // Position i is tested against this window while available - i >= lookAhead.
    uint64_t last = std::min(available - lookAhead, limit - 1);
    // Only a position with a whole key and a length byte after it can match.
    if (available < kMinimumElementHeader) return last + 1;
    uint64_t lastCandidate = std::min(last, available - kMinimumElementHeader);
    // The 17 header bytes of position lastCandidate are in the window, so
    // the prefix search may read its three bytes past each position.
    for (uint64_t i = 1; i <= lastCandidate; ++i) {
        i += FindKeyPrefixStart(data + i, lastCandidate - i + 1);
        if (i > lastCandidate) break;
        if (MatchEssenceKey(data + i, available - i).found) return i;
    }
    return last + 1;
}

}  // namespace

ScanWalkResult WalkEssenceElements(StreamBuffer& reader, uint64_t fileSize,
                                   const ElementVisit& visit, const ScanWalkSettings& settings)
{
    ScanWalkResult result;
    uint64_t run = 0;  // unrecognised bytes since the last element
    while (reader.Position() < fileSize) {
        if (!reader.Require(std::min(reader.Remaining(), settings.lookAhead))) break;
        EssenceSample sample = ReadEssenceElement(reader, settings.lookAhead);
        uint64_t step = 0;
        if (sample.found) {
            if (!visit(sample)) break;
            step = sample.size;
            run = 0;
        } else {
            // A run of rejected positions is stepped over at once, as far as
            // the walk would go before its loop test or byte limit stops it.
            uint64_t limit = std::min(fileSize - reader.Position(),
                                      settings.unrecognisedLimit + 1 - run);
            step = CountRejectedPositions(reader, settings.lookAhead, limit);
            result.unrecognised += step;
            if (settings.listRuns && run == 0) result.runs.push_back({reader.Position(), 0});
            if (settings.listRuns) result.runs.back().length += step;
            run += step;
        }
        reader.Skip(step);
        if (run > settings.unrecognisedLimit) {
            result.limitReached = true;
            break;
        }
    }
    return result;
}

ScanWalkResult WalkEssenceElements(StreamBuffer& reader, uint64_t fileSize,
                                   std::vector<EssenceSample>& video,
                                   std::vector<EssenceSample>& audio,
                                   const ScanWalkSettings& settings)
{
    return WalkEssenceElements(
        reader, fileSize,
        [&](const EssenceSample& sample) {
            (sample.kind == EssenceKind::Video ? video : audio).push_back(sample);
            return true;
        },
        settings);
}

}  // namespace vexmend
