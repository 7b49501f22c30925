#include "LogSink.h"

#include <Poco/Exception.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <ctime>
#include <filesystem>

#include "TextConvert.h"

namespace vexmend {

namespace {

const char* TagOf(LogLevel level)
{
    switch (level) {
    case LogLevel::Debug: return "[DEBUG] ";
    case LogLevel::Info: return "[INFO] ";
    case LogLevel::Warning: return "[WARNING] ";
    case LogLevel::Error: return "[ERROR] ";
    }
    return "";
}

// Local time of now as "YYYY-MM-DD HH:MM:SS".
std::string LocalTimestamp()
{
    std::time_t now = std::time(nullptr);
    std::tm local{};
#if defined(_WIN32)
    localtime_s(&local, &now);
#else
    localtime_r(&now, &local);
#endif
    char text[64];
    std::snprintf(text, sizeof text, "%d-%02d-%02d %02d:%02d:%02d", local.tm_year + 1900,
                  local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec);
    return text;
}

}  // namespace

LogLevel LogLevelFromName(const std::string& name)
{
    std::string lower = name;
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (lower == "info") return LogLevel::Info;
    if (lower == "warning") return LogLevel::Warning;
    return LogLevel::Debug;
}

LogSink::LogSink(LogLevel threshold, const std::string& path) : threshold(threshold)
{
    // Text mode: records end in CR LF on Windows. The stream's default sharing
    // lets other handles (an earlier sink, a log viewer) use the file too.
    try {
        stream.open(std::filesystem::u8path(path), std::ios::out | std::ios::app);
    } catch (...) {
        stream.setstate(std::ios::failbit);
    }
}

void LogSink::Write(LogLevel level, int32_t line, const std::string& message, const char* value)
{
    WriteRecord(level, line, message, value != nullptr ? std::string(value) : std::string());
}

void LogSink::Write(LogLevel level, int32_t line, const std::string& message,
                    const std::string& value)
{
    WriteRecord(level, line, message, value);
}

void LogSink::Write(LogLevel level, int32_t line, const std::string& message, int32_t value)
{
    WriteRecord(level, line, message, std::to_string(value));
}

void LogSink::Write(LogLevel level, int32_t line, const std::string& message, uint64_t value)
{
    WriteRecord(level, line, message, std::to_string(value));
}

void LogSink::Write(LogLevel level, int32_t line, const std::string& message,
                    const std::wstring& value)
{
    std::string text;
    try {
        text = WideToUtf8(value);
    } catch (...) {
        text = "?";
    }
    WriteRecord(level, line, message, text);
}

void LogSink::WriteRecord(LogLevel level, int32_t line, const std::string& message,
                          const std::string& value)
{
    std::lock_guard<std::mutex> guard(lock);
    if (static_cast<int32_t>(threshold) > static_cast<int32_t>(level)) return;
    if (!stream.good()) return;
    stream << TagOf(level) << LocalTimestamp() << " (" << line << ") " << message << ' ' << value
           << '\n';
    stream.flush();
}

std::string ErrorText(const std::exception& error)
{
    const auto* poco = dynamic_cast<const Poco::Exception*>(&error);
    return poco != nullptr ? poco->displayText() : std::string(error.what());
}

}  // namespace vexmend
