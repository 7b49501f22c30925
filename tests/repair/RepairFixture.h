// A library initialised on a fresh log and work folder, for the tests that
// go through the exported functions.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>

#include "support/TestSupport.h"
#include "vexmend.h"

namespace vexmend::test {

class RepairTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(QorMxfInit(logs.Path().c_str(), 0, (work / "work").c_str()), VEXMEND_OK);
    }

    std::string Log() const { return ReadText(logs / "QorVideoRepair.log"); }
    bool Logged(const std::string& text) const { return Log().find(text) != std::string::npos; }
    size_t CountLogged(const std::string& text) const
    {
        std::string log = Log();
        size_t count = 0;
        for (size_t at = log.find(text); at != std::string::npos; at = log.find(text, at + 1))
            ++count;
        return count;
    }

    TempFolder logs;
    TempFolder work;
    TempFolder media;
};

// The general repair when `sample` is empty, else the advance repair.
inline int32_t RunRepair(const std::string& input, const std::string& sample,
                         const std::string& output)
{
    return sample.empty() ? QorMxfGeneralRepair(input.c_str(), output.c_str())
                          : QorMxfAdvanceRepair(input.c_str(), sample.c_str(), output.c_str());
}

// True when this process holds a descriptor on the file at `path`.
inline bool OpenInThisProcess(const std::string& path)
{
    std::error_code e;
    for (const auto& fd : std::filesystem::directory_iterator("/proc/self/fd")) {
        if (std::filesystem::equivalent(std::filesystem::read_symlink(fd, e), path, e)) return true;
    }
    return false;
}

// Overwrites everything before the first essence element (header partition
// and metadata) and everything from the footer partition on with zeros.
inline void DestroyHeaderAndFooter(const std::string& path)
{
    std::vector<uint8_t> bytes = ReadBytes(path);
    uint64_t essence = FirstEssenceKey(bytes);
    std::fill(bytes.begin(), bytes.begin() + static_cast<long>(essence), 0);
    static const uint8_t footer[14] = {0x06, 0x0E, 0x2B, 0x34, 0x02, 0x05, 0x01,
                                       0x01, 0x0D, 0x01, 0x02, 0x01, 0x01, 0x04};
    auto at = std::find_end(bytes.begin(), bytes.end(), footer, footer + 14);
    if (at != bytes.end() && at - bytes.begin() > static_cast<long>(essence)) {
        std::fill(at, bytes.end(), 0);
    }
    WriteBytes(path, bytes);
}

}  // namespace vexmend::test
