#include "LoadedLibrary.h"

#include <stdexcept>

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#include <unistd.h>

#include <climits>
#endif

#include "TextConvert.h"

namespace {

#if defined(_WIN32)
std::wstring WideProgramPath()
{
    std::wstring path(32768, L'\0');
    path.resize(GetModuleFileNameW(nullptr, path.data(), 32768));
    return path;
}

std::wstring WideProgramFolder()
{
    std::wstring folder = WideProgramPath();
    folder.erase(folder.find_last_of(L'\\') + 1);
    return folder;
}

// By full path, so that no other folder on the search path is tried.
std::wstring LibraryPath() { return WideProgramFolder() + L"vexmend.dll"; }
#else
std::string LibraryPath() { return ProgramFolder() + "libvexmend.so"; }
#endif

}  // namespace

std::string ProgramPath()
{
#if defined(_WIN32)
    return vexmend::WideToUtf8(WideProgramPath());
#else
    char path[PATH_MAX] = {};
    ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
    return std::string(path, length > 0 ? static_cast<size_t>(length) : 0);
#endif
}

std::string ProgramFolder()
{
#if defined(_WIN32)
    return vexmend::WideToUtf8(WideProgramFolder());
#else
    std::string folder = ProgramPath();
    folder.erase(folder.find_last_of('/') + 1);
    return folder;
#endif
}

LoadedLibrary::LoadedLibrary()
{
#if defined(_WIN32)
    handle = LoadLibraryW(LibraryPath().c_str());
    if (handle == nullptr)
        throw std::runtime_error("cannot load vexmend.dll, error " +
                                 std::to_string(GetLastError()));
#else
    handle = dlopen(LibraryPath().c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr)
        throw std::runtime_error(std::string("cannot load library: ") + dlerror());
#endif
    init = reinterpret_cast<InitFunction>(Symbol("QorMxfInit"));
    destroy = reinterpret_cast<DestroyFunction>(Symbol("QorMxfDestroy"));
    generalRepair = reinterpret_cast<GeneralRepairFunction>(Symbol("QorMxfGeneralRepair"));
    advanceRepair = reinterpret_cast<AdvanceRepairFunction>(Symbol("QorMxfAdvanceRepair"));
}

LoadedLibrary::~LoadedLibrary()
{
    // The library keeps its manager until the process ends; it is not unloaded.
}

void* LoadedLibrary::Symbol(const char* name)
{
#if defined(_WIN32)
    void* symbol = reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(handle), name));
#else
    void* symbol = dlsym(handle, name);
#endif
    if (symbol == nullptr) throw std::runtime_error(std::string("missing function ") + name);
    return symbol;
}
