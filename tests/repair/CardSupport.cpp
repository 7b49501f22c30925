#include "repair/CardSupport.h"

#include <algorithm>
#include <filesystem>

#include "support/ReferenceWalk.h"
#include "support/TestSupport.h"

namespace vexmend::test {

void Damage(const std::string& healthy, const std::string& damaged, double share, size_t zeroed)
{
    std::vector<uint8_t> bytes = ReadBytes(healthy);
    size_t cut = static_cast<size_t>(static_cast<double>(bytes.size()) * share);
    for (const ReferenceElement& e : ReferenceWalk(bytes)) {
        if (e.kind == 0 && e.key >= cut) {
            cut = e.key;
            break;
        }
    }
    bytes.resize(cut);
    std::fill_n(bytes.begin(), zeroed, 0);
    WriteBytes(damaged, bytes);
}

std::string Python(const std::string& script, const std::string& json)
{
    std::string output;
    RunShell("python3 -c " + Quote("import json,sys; d=json.load(open(sys.argv[1])); " + script) +
                 " " + Quote(json),
             &output);
    return output;
}

std::map<std::string, std::string> Snapshot(const std::string& root,
                                            const std::vector<std::string>& skipped)
{
    namespace fs = std::filesystem;
    std::map<std::string, std::string> entries;
    std::error_code e;
    for (auto it = fs::recursive_directory_iterator(root, e); it != fs::end(it); it.increment(e)) {
        const std::string path = it->path().string();
        if (std::any_of(skipped.begin(), skipped.end(), [&](const std::string& folder) {
                return path == folder || path.rfind(folder + "/", 0) == 0;
            })) {
            continue;
        }
        const fs::file_status status = it->symlink_status(e);
        entries[path] = fs::is_symlink(status)        ? fs::read_symlink(it->path(), e).string()
                        : fs::is_regular_file(status) ? std::to_string(HashTree(root)[path])
                                                      : std::to_string(int(status.type()));
    }
    return entries;
}

std::vector<std::string> Leftovers(const std::string& folder)
{
    std::vector<std::string> found;
    std::error_code e;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder, e)) {
        if (entry.path().filename().string().rfind(".vexmend-", 0) == 0) {
            found.push_back(entry.path().string());
        }
    }
    return found;
}

}  // namespace vexmend::test
