// vexmend: command-line host of the repair library.
//
//   vexmend [--log-dir DIR] [--work-dir DIR] general INPUT OUTPUT
//   vexmend [--log-dir DIR] [--work-dir DIR] advance DAMAGED SAMPLE OUTPUT
//   vexmend [--log-dir DIR] [--work-dir DIR] card SOURCE OUTPUT [--sample FILE]
//           [--copy-healthy] [--report FILE.json|FILE.html]... [--jobs N]
//   vexmend scan DAMAGED [--json]
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "CardCommand.h"
#include "ClipScan.h"
#include "LoadedLibrary.h"
#include "RepairProcess.h"
#include "TextConvert.h"
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
    "       vexmend [--log-dir DIR] [--work-dir DIR] card SOURCE OUTPUT [--sample FILE]\n"
    "               [--copy-healthy] [--report FILE.json|FILE.html]... [--jobs N]\n"
    "       vexmend scan DAMAGED [--json]\n"
    "\n"
    "general  rewraps INPUT with the encoder (stream copy) into OUTPUT\n"
    "advance  rebuilds DAMAGED from the frames found in it, guided by SAMPLE,\n"
    "         a healthy file recorded by the same device\n"
    "card     repairs every damaged clip of a card (XDCAM, P2 or a plain folder)\n"
    "         under SOURCE into the same relative path under OUTPUT: the general\n"
    "         repair, or the advance repair with a healthy clip of the card as\n"
    "         sample (--sample names one); healthy clips are listed, or copied\n"
    "         with --copy-healthy; --report writes a JSON record per clip, or\n"
    "         with a name ending in .html or .htm one HTML page (it may be given\n"
    "         more than once).\n"
    "         --jobs repairs N clips at the same time (default 1).\n"
    "         Nothing under SOURCE is written, nor through a symbolic link; one\n"
    "         run at a time per OUTPUT; Ctrl-C stops cleanly and reports the\n"
    "         clips done. Exit status: 0 all done, 4 a clip failed, 5 no clip\n"
    "         found, 6 OUTPUT in use, 130/143 stopped.\n"
    "scan     tells what the advance repair would find in DAMAGED; writes nothing\n"
    "\n"
    "The encoder is the file ffmpeg.exe beside this program. The log\n"
    "QorVideoRepair.log goes to --log-dir (default: this program's folder, for\n"
    "the card mode OUTPUT); work files go under --work-dir (default:\n"
    "$TMPDIR/vexmend).\n";

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
        arguments.push_back(vexmend::WideToUtf8(wide[i]));
    }
    LocalFree(wide);
    return arguments;
#else
    return std::vector<std::string>(argv, argv + argc);
#endif
}

struct Command {
    std::vector<std::string> positional;
    // Each value an option was given, in order: "--log-dir" -> {"DIR"}, "--json" -> {""}.
    std::map<std::string, std::vector<std::string>> options;

    // The option's last value; nullptr when it was not given.
    const char* Option(const char* name) const
    {
        auto found = options.find(name);
        return found == options.end() ? nullptr : found->second.back().c_str();
    }
    std::vector<std::string> Values(const char* name) const
    {
        auto found = options.find(name);
        return found == options.end() ? std::vector<std::string>() : found->second;
    }
    bool Is(const char* name, size_t operands) const
    {
        return positional.size() == operands + 1 && positional[0] == name;
    }
};

// Options with a value, and flags.
const char* const kValueOptions[] = {"--log-dir", "--work-dir", "--sample", "--report", "--jobs"};
const char* const kFlags[] = {"--copy-healthy", "--json", "--help"};

bool ParseCommand(const std::vector<std::string>& args, Command& command)
{
    for (size_t i = 1; i < args.size(); ++i) {
        const std::string& arg = args[i];
        bool known = false;
        for (const char* name : kValueOptions) {
            if (arg == name && i + 1 < args.size()) {
                command.options[arg].push_back(args[++i]);
                known = true;
            }
        }
        for (const char* name : kFlags) {
            if (arg == name) command.options[arg].push_back(""), known = true;
        }
        if (!known && arg.rfind("--", 0) == 0) {
            std::fprintf(stderr, "vexmend: unknown option %s\n", arg.c_str());
            return false;
        }
        if (!known) command.positional.push_back(arg);
    }
    return true;
}

// A positive whole number in decimal digits alone, or 0.
int PositiveNumber(const std::string& text)
{
    if (text.empty() || text.size() > 9 ||
        !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        return 0;
    }
    return std::atoi(text.c_str());
}

int Scan(const Command& command)
{
    const std::string& path = command.positional[1];
    const vexmend::ScanSummary scan = vexmend::ScanFile(path);
    std::fputs((command.Option("--json") ? ScanJson(path, scan) : ScanText(path, scan)).c_str(),
               stdout);
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    Command command;
    if (!ParseCommand(Utf8Arguments(argc, argv), command)) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    if (command.Option("--help") ||
        (!command.positional.empty() && command.positional[0] == "-h")) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    const int jobs = command.Option("--jobs") ? PositiveNumber(command.Option("--jobs")) : 1;
    if (jobs < 1) {
        std::fprintf(stderr, "vexmend: --jobs takes a positive whole number, not \"%s\"\n",
                     command.Option("--jobs"));
        return 2;
    }
    const bool general = command.Is("general", 2), advance = command.Is("advance", 3),
               card = command.Is("card", 2), scan = command.Is("scan", 1);
    if (!general && !advance && !card && !scan) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    try {
        if (scan) return Scan(command);
        const char* workDir = command.Option("--work-dir");
#if !defined(_WIN32)
        // Without a work folder the library falls back to a Windows-style
        // per-user folder; here the system's temporary folder is the better home.
        std::string defaultWorkDir =
            std::string(std::getenv("TMPDIR") ? std::getenv("TMPDIR") : "/tmp") + "/vexmend";
        if (workDir == nullptr) workDir = defaultWorkDir.c_str();
#endif
        const char* logDir = command.Option("--log-dir");
        if (card) {
            CardCommandLine line;
            line.source = command.positional[1];
            line.output = command.positional[2];
            line.sample = command.Option("--sample") ? command.Option("--sample") : "";
            line.reports = command.Values("--report");
            // The card mode's log goes with its results by default.
            line.logDir = logDir ? logDir : line.output;
            line.workDir = workDir
                               ? std::string(workDir)
                               : (std::filesystem::temp_directory_path() / "vexmend").u8string();
            line.copyHealthy = command.Option("--copy-healthy") != nullptr;
            line.jobs = jobs;
            return RunCardCommand(line);
        }
        LoadedLibrary library;
        int32_t code = library.init(logDir, 0, workDir);
        std::fputs("\n", stdout);  // the library may print a message without a line end
        const std::vector<std::string>& p = command.positional;
        if (code == VEXMEND_OK) {
            code = general ? library.generalRepair(p[1].c_str(), p[2].c_str())
                           : library.advanceRepair(p[1].c_str(), p[2].c_str(), p[3].c_str());
            library.destroy();
        }
        std::printf("vexmend: %s (%d)\n", Describe(code), static_cast<int>(code));
        return ExitStatus(code);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "vexmend: %s\n", error.what());
        return 3;
    }
}
