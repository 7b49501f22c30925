#include "VideoRepairManager/Folders.h"

#include <cstdio>
#include <random>

#include "FileIdentity.h"
#include "TextConvert.h"
#include "VideoRepairManager/VideoRepairManager.h"

namespace vexmend {

std::wstring WorkSubfolder(const std::wstring& name)
{
    return tempDir.empty() ? name : tempDir + L"/" + name;
}

bool LiesInWorkFolders(const std::string& path)
{
    return LiesIn(path, WideToUtf8(WorkSubfolder(L"RepairedVideo"))) ||
           LiesIn(path, WideToUtf8(WorkSubfolder(L"AdvanceRepairedVideo")));
}

std::string UniqueName()
{
    std::random_device random;
    char name[17];
    std::snprintf(name, sizeof name, "%08x%08x", static_cast<unsigned>(random()),
                  static_cast<unsigned>(random()));
    return name;
}

}  // namespace vexmend
