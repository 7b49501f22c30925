// A library initialised on a fresh log and work folder, for the tests that
// go through the exported functions.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>

#include "support/TestSupport.h"
#include "vexmend.h"

namespace vexmend::test {

class RepairTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(QorMxfInit(logs.Path().c_str(), 0, (work / "work").c_str()), VEXMEND_OK);
    }

    // Whether the log holds `text` after the start of the current table case.
    std::string Log() const { return ReadText(logs / "QorVideoRepair.log"); }
    bool Logged(const std::string& text) const { return Log().find(text, caseStart) != Log().npos; }
    void NextCase() { caseStart = Log().size(); }

    TempFolder logs, work, media;
    size_t caseStart = 0;
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

}  // namespace vexmend::test
