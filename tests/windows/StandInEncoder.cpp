// Built as ffmpeg.exe beside the Windows test program, and used as a decoy by
// the end-to-end tests: it does no work and fails, leaving its command line,
// as the process received it, in command-line.txt beside the executable,
// followed by the arguments as the C runtime splits them, one per line, all
// in UTF-8.
#include <windows.h>

#include <cstdio>
#include <string>

namespace {

std::string Utf8(const wchar_t* text)
{
    int size = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (size <= 1) return std::string();
    std::string result(static_cast<size_t>(size - 1), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, -1, result.data(), size, nullptr, nullptr);
    return result;
}

std::wstring OwnFolder()
{
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder(path);
    std::wstring::size_type slash = folder.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::wstring(L".") : folder.substr(0, slash);
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    std::string record = Utf8(GetCommandLineW()) + "\n";
    for (int i = 0; i < argc; ++i) record += Utf8(argv[i]) + "\n";
    FILE* file = _wfopen((OwnFolder() + L"\\command-line.txt").c_str(), L"wb");
    if (file != nullptr) {
        std::fwrite(record.data(), 1, record.size(), file);
        std::fclose(file);
    }
    return 1;
}
