#include "MxfAdvanceRepair/merge/MergeArguments.h"

#include "FileIdentity.h"
#include "MxfAdvanceRepair/codecs/RawVideoInput.h"

namespace vexmend {

std::vector<std::string> MergeArguments(const MergeLayout& layout,
                                        const std::vector<MergeInput>& inputs,
                                        const std::string& outputPath)
{
    std::vector<std::string> args{"-y"};
    // Framed essence holds the video and every sound track in track order.
    // Raw inputs: the video comes first, unless the result is sound alone;
    // each audio track is an input of its own, described by its stream's
    // arguments, and goes into the result in track order at its own sample
    // format.
    for (const MergeInput& input : inputs) {
        args.insert(args.end(), input.args.begin(), input.args.end());
        args.insert(args.end(), {"-i", EncoderFileName(input.path)});
    }
    const bool video = layout.video && !inputs.empty();
    if (inputs.size() == 1 && inputs[0].framed) {
        args.insert(args.end(), {"-map", "0:v", "-map", "0:a?", "-acodec", "copy"});
    } else if (inputs.size() > size_t{video}) {
        if (video) args.insert(args.end(), {"-map", "0:v"});
        for (size_t i = video; i < inputs.size(); ++i) {
            args.insert(args.end(), {"-map", std::to_string(i) + ":a"});
        }
        args.insert(args.end(), {"-acodec", "copy"});
    }
    // Every planned frame is kept, also a damaged one, and counted afresh:
    // damaged frames carry damaged timestamps.
    if (video) {
        args.insert(args.end(), {"-vcodec", "copy", "-copyinkf", "-bsf:v", "setts=pts=N:dts=N",
                                 "-t", DurationText(layout.frames, layout.frameRate)});
    }
    if (layout.timecode) args.insert(args.end(), {"-timecode", layout.timecode->Text()});
    // An OP-Atom sample (one track a file) gives an OP-Atom result.
    args.insert(args.end(),
                {"-f", layout.opAtom ? "mxf_opatom" : "mxf", EncoderFileName(outputPath)});
    return args;
}

}  // namespace vexmend
