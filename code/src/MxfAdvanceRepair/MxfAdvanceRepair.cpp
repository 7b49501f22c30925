#include "MxfAdvanceRepair/MxfAdvanceRepair.h"

#include <Poco/File.h>

#include "EncoderLocation.h"
#include "LogSink.h"
#include "StreamBuffer.h"
#include "TextConvert.h"

namespace vexmend {

MxfAdvanceRepair::MxfAdvanceRepair() : MxfAdvanceRepair(MxfAdvanceRepairOptions()) {}

MxfAdvanceRepair::MxfAdvanceRepair(const MxfAdvanceRepairOptions& options)
    : encoderPath(options.encoderPath.empty() ? WideToUtf8(GetEncoderPath()) : options.encoderPath),
      mergeTimeLimitSeconds(options.mergeTimeLimitSeconds)
{
}

MxfAdvanceRepair::~MxfAdvanceRepair() { MxfAdvanceRepair::Close(); }

void MxfAdvanceRepair::SetLogger(LogSink* newLogger) { logger = newLogger; }

void MxfAdvanceRepair::SetVideoPath(const std::wstring& newVideoPath,
                                    const std::wstring& newSamplePath)
{
    videoPath = newVideoPath;
    sampleChanged = newSamplePath != samplePath;
    samplePath = newSamplePath;
    Log(LogLevel::Debug, __LINE__, "Start ", "MxfAdvanceRepair::SetVideoPath");
}

void MxfAdvanceRepair::Close()
{
    videoStream.reset();
    samplePath.clear();
}

void MxfAdvanceRepair::CloseVideoFile() { videoStream.reset(); }

int32_t MxfAdvanceRepair::CheckCommandExists(const std::string& command)
{
    if (command.empty()) {
        Log(LogLevel::Error, __LINE__, "[ENCD] cmd is empty.", int32_t{-1});
        return -1;
    }
    try {
        if (Poco::File(command).exists()) return 0;
        Log(LogLevel::Error, __LINE__, "[ENCD] cmd is not exists. cmd is:", command);
    } catch (...) {
        Log(LogLevel::Error, __LINE__,
            "[ENCD] cmd check for existence exception.. cmd is:", command);
    }
    return -1;
}

}  // namespace vexmend
