// Built as ffmpeg.exe beside the Windows test program, and used as a decoy by
// the end-to-end tests: it does no work and fails, leaving decoy-ran.txt
// beside itself to show that it ran.
#include <windows.h>

int main()
{
    wchar_t path[MAX_PATH + 20] = {};
    DWORD end = GetModuleFileNameW(nullptr, path, MAX_PATH);
    while (end > 0 && path[end - 1] != L'\\' && path[end - 1] != L'/') --end;
    lstrcpyW(path + end, L"decoy-ran.txt");
    CloseHandle(CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    return 1;
}
