#include "VideoRepairManager/Folders.h"

#include <Poco/File.h>
#include <Poco/Path.h>

#include "VideoRepairManager/VideoRepairManager.h"

namespace vexmend {

std::wstring WorkSubfolder(const std::wstring& name)
{
    return tempDir.empty() ? name : tempDir + L"/" + name;
}

void EnsureParentFolder(const std::string& path)
{
    std::string parent = Poco::Path(path).parent().toString();
    if (parent.empty()) return;
    Poco::File folder(parent);
    if (!folder.exists()) folder.createDirectories();
}

}  // namespace vexmend
