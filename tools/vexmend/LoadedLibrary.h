// The vexmend library loaded at run time from the program's own folder, the
// way a host program loads it.
#pragma once

#include <cstdint>
#include <string>

// This program's executable (UTF-8).
std::string ProgramPath();
// This program's folder (UTF-8), with a separator at its end.
std::string ProgramFolder();

class LoadedLibrary {
public:
    using InitFunction = int32_t (*)(const char*, intptr_t, const char*);
    using DestroyFunction = void (*)();
    using GeneralRepairFunction = int32_t (*)(const char*, const char*);
    using AdvanceRepairFunction = int32_t (*)(const char*, const char*, const char*);

    // Loads the library beside the executable; throws std::runtime_error.
    LoadedLibrary();
    ~LoadedLibrary();
    LoadedLibrary(const LoadedLibrary&) = delete;
    LoadedLibrary& operator=(const LoadedLibrary&) = delete;

    InitFunction init = nullptr;
    DestroyFunction destroy = nullptr;
    GeneralRepairFunction generalRepair = nullptr;
    AdvanceRepairFunction advanceRepair = nullptr;

private:
    void* Symbol(const char* name);
    void* handle = nullptr;
};
