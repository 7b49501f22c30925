// The library's one log file: one line per record, flushed at once.
#pragma once

#include <cstdint>
#include <exception>
#include <fstream>
#include <mutex>
#include <string>

namespace vexmend {

enum class LogLevel : int32_t { Debug = 0, Info = 1, Warning = 2, Error = 3 };

// Maps a configured level name ("debug", "info", "warning", any case) to its
// threshold; any other name means Debug.
LogLevel LogLevelFromName(const std::string& name);

class LogSink {
public:
    // Opens `path` (UTF-8) for appending. A file that cannot be opened leaves
    // the sink in a failed state in which every record is dropped silently.
    LogSink(LogLevel threshold, const std::string& path);

    LogSink(const LogSink&) = delete;
    LogSink& operator=(const LogSink&) = delete;

    // Writes "<TAG> YYYY-MM-DD HH:MM:SS (<line>) <message> <value>" and a line
    // end, under the sink's lock. Records below the threshold are dropped.
    void Write(LogLevel level, int32_t line, const std::string& message, const char* value);
    void Write(LogLevel level, int32_t line, const std::string& message, const std::string& value);
    void Write(LogLevel level, int32_t line, const std::string& message, int32_t value);
    void Write(LogLevel level, int32_t line, const std::string& message, uint64_t value);
    void Write(LogLevel level, int32_t line, const std::string& message, const std::wstring& value);

private:
    void WriteRecord(LogLevel level, int32_t line, const std::string& message,
                     const std::string& value);

    std::ofstream stream;
    LogLevel threshold;
    std::mutex lock;
};

// The text of an error for a record: a Poco exception's display text (its
// kind and message), else what the exception says.
std::string ErrorText(const std::exception& error);

}  // namespace vexmend
