// vexmend: command-line host of the repair library.
//
//   vexmend [--log-dir DIR] [--work-dir DIR] general INPUT OUTPUT
//   vexmend [--log-dir DIR] [--work-dir DIR] advance DAMAGED SAMPLE OUTPUT
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <string>
#include <vector>

#include "LoadedLibrary.h"
#include "vexmend.h"

#if defined(_WIN32)
#include <windows.h>
// Before shellapi.h, which needs windows.h.
#include <shellapi.h>
#endif

namespace {

const char* const kUsage =
    "usage: vexmend [--log-dir DIR] [--work-dir DIR] general INPUT OUTPUT\n"
    "       vexmend [--log-dir DIR] [--work-dir DIR] advance DAMAGED SAMPLE OUTPUT\n"
    "\n"
    "general  rewraps INPUT with the encoder (stream copy) into OUTPUT\n"
    "advance  rebuilds DAMAGED from the frames found in it, guided by SAMPLE,\n"
    "         a healthy file recorded by the same device\n"
    "\n"
    "The encoder is the file ffmpeg.exe beside this program. The log\n"
    "QorVideoRepair.log goes to --log-dir (default: this program's folder);\n"
    "work files go under --work-dir (default: $TMPDIR/vexmend).\n";

const char* Describe(int32_t code)
{
    switch (code) {
    case VEXMEND_OK: return "repaired";
    case VEXMEND_NO_MANAGER: return "library not initialised";
    case VEXMEND_INIT_FAILED: return "library initialisation failed (log or engine)";
    case VEXMEND_NO_INPUT: return "the input path names no file";
    case VEXMEND_REPAIR_DIR_FAILED: return "cannot create the repair folder in the work folder";
    case VEXMEND_NO_OUTPUT: return "the encoder failed or produced no output file (see the log)";
    case VEXMEND_MISSING_PATH: return "damaged or sample path missing";
    case VEXMEND_ADVANCE_FAILED: return "advance repair failed (see the log)";
    default: return "unknown result";
    }
}

// Exit status: 0 on success, else a small number per result code.
int ExitStatus(int32_t code)
{
    if (code == VEXMEND_OK) return 0;
    if (code == VEXMEND_NO_MANAGER) return 10;
    if (code <= -2050 && code >= -2056) return 10 + static_cast<int>(-2049 - code);
    return 2;
}

// The program's arguments as UTF-8, the library's text form. On Windows they
// come from the wide command line: the C runtime's argv is in the ANSI code
// page, which cannot hold every file name.
std::vector<std::string> Utf8Arguments(int argc, char** argv)
{
#if defined(_WIN32)
    (void)argc;
    (void)argv;
    int count = 0;
    wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
    std::vector<std::string> arguments;
    for (int i = 0; wide != nullptr && i < count; ++i) {
        int size = WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, nullptr, 0, nullptr, nullptr);
        std::string text(size > 0 ? static_cast<size_t>(size) : 1, '\0');
        WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, text.data(), size, nullptr, nullptr);
        text.resize(text.size() - 1);
        arguments.push_back(text);
    }
    LocalFree(wide);
    return arguments;
#else
    return std::vector<std::string>(argv, argv + argc);
#endif
}

}  // namespace

int main(int argc, char** argv)
{
    const std::vector<std::string> args = Utf8Arguments(argc, argv);
    const char* logDir = nullptr;
    const char* workDir = nullptr;
    std::vector<const char*> positional;
    for (size_t i = 1; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--help" || arg == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if ((arg == "--log-dir" || arg == "--work-dir") && i + 1 < args.size()) {
            (arg == "--log-dir" ? logDir : workDir) = args[++i].c_str();
        } else if (arg.rfind("--", 0) == 0) {
            std::fprintf(stderr, "vexmend: unknown option %s\n%s", arg.c_str(), kUsage);
            return 2;
        } else {
            positional.push_back(arg.c_str());
        }
    }
    bool general = positional.size() == 3 && std::strcmp(positional[0], "general") == 0;
    bool advance = positional.size() == 4 && std::strcmp(positional[0], "advance") == 0;
    if (!general && !advance) {
        std::fputs(kUsage, stderr);
        return 2;
    }

#if !defined(_WIN32)
    // Without a work folder the library falls back to a Windows-style per-user
    // folder; here the system's temporary folder is the better home.
    std::string defaultWorkDir =
        std::string(std::getenv("TMPDIR") ? std::getenv("TMPDIR") : "/tmp") + "/vexmend";
    if (workDir == nullptr) workDir = defaultWorkDir.c_str();
#endif
    try {
        LoadedLibrary library;
        int32_t code = library.init(logDir, 0, workDir);
        std::fputs("\n", stdout);  // the library may print a message without a line end
        if (code == VEXMEND_OK) {
            code = general ? library.generalRepair(positional[1], positional[2])
                           : library.advanceRepair(positional[1], positional[2], positional[3]);
            library.destroy();
        }
        std::printf("vexmend: %s (%d)\n", Describe(code), static_cast<int>(code));
        return ExitStatus(code);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "vexmend: %s\n", error.what());
        return 3;
    }
}
