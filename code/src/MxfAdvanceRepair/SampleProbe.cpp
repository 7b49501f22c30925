// The sample probe: the encoder reads the sample file and prints its stream
// report, which tells how the device codes its audio and its frame rate.
#include <Poco/Pipe.h>
#include <Poco/PipeStream.h>
#include <Poco/Process.h>

#include "MxfAdvanceRepair/MxfAdvanceRepair.h"
#include "MxfAdvanceRepair/SampleReport.h"
#include "TextConvert.h"

namespace vexmend {

int MxfAdvanceRepair::AnalyzeSampleVideo()
{
    if (!sampleChanged) return 0;
    if (AnalyzeAudioCodecInfo() < 0) {
        Log(LogLevel::Error, __LINE__,
            "[AnalyzeSampleVideo]Analysize audio codec info by ffmpeg failed.", int32_t{-1});
        return -1;
    }
    return 0;
}

int32_t MxfAdvanceRepair::AnalyzeAudioCodecInfo()
{
    int32_t usable = CheckCommandExists(encoderPath);
    if (usable != 0) return usable;

    Poco::Process::Args args{"-i", WideToUtf8(samplePath)};
    Log(LogLevel::Debug, __LINE__, "[AnalyzeSampleVideo] probe sample:", args[1]);
    Poco::Pipe outputPipe;
    Poco::Pipe errorPipe;
    Poco::ProcessHandle child = Poco::Process::launch(encoderPath, args, nullptr, &outputPipe,
                                                      &errorPipe);
    // The child holds its own copies now; closing ours lets the reader see
    // the end of the report when the child exits.
    outputPipe.close(Poco::Pipe::CLOSE_WRITE);
    errorPipe.close(Poco::Pipe::CLOSE_WRITE);
    Poco::PipeInputStream report(errorPipe);

    audioArgs.clear();
    audioStreamCount = 0;
    frameRate = 30.0;

    // Lines are read whole, however long; the report is read to its end.
    SampleReportParser parser;
    std::string line;
    while (std::getline(report, line)) {
        if (parser.Feed(line) == SampleReportParser::LineResult::BadFrameRate) {
            Log(LogLevel::Warning, __LINE__, "[MXF] frame rate is not a number, line:", line);
        }
    }
    int exitCode = child.wait();

    audioArgs = parser.AudioArgs();
    audioStreamCount = parser.AudioStreamCount();
    frameRate = parser.FrameRate();
    return parser.AudioLineSeen() ? exitCode : -1;
}

}  // namespace vexmend
