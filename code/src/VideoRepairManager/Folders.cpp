#include "VideoRepairManager/Folders.h"

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

}  // namespace vexmend
