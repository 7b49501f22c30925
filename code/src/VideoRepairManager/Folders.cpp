#include "VideoRepairManager/Folders.h"

#include <Poco/Exception.h>
#include <Poco/File.h>
#include <Poco/Path.h>

#include <filesystem>

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

std::string CopyToNewFile(const std::string& from, const std::vector<std::string>& candidates,
                          const std::string& avoid)
{
    namespace fs = std::filesystem;
    for (const std::string& candidate : candidates) {
        const fs::path target = fs::u8path(candidate);
        std::error_code error;
        if (fs::exists(fs::symlink_status(target, error)) || SamePath(candidate, avoid)) continue;
        // Without the overwrite option the target is opened exclusively.
        if (fs::copy_file(fs::u8path(from), target, fs::copy_options::none, error)) {
            return candidate;
        }
        if (error == std::errc::file_exists) continue;
        // Absent just before, so what is there now was made by this copy.
        fs::remove(target, error);
        return std::string();
    }
    return std::string();
}

}  // namespace vexmend
