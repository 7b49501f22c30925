#include "VideoRepairManager/Folders.h"

#include <Poco/Exception.h>
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

const char* MoveOrCopyFile(const std::string& from, const std::string& to)
{
    Poco::Path target(to);
    if (Poco::File(target).exists() && Poco::File(target).isDirectory()) {
        target.makeDirectory().setFileName(Poco::Path(from).getFileName());
    }
    Poco::File source(from);
    try {
        source.renameTo(target.toString());
        return "rename";
    } catch (const Poco::Exception&) {
        // Another file system: the slow way.
    }
    source.copyTo(target.toString());
    source.remove();
    return "copy";
}

}  // namespace vexmend
