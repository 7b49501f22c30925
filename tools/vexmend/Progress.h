// The card mode's progress on standard error: on a terminal one line per
// clip, rewritten as the clip's step and time spent change; otherwise a plain
// line per step.
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

class Progress {
public:
    Progress();
    ~Progress();
    Progress(const Progress&) = delete;
    Progress& operator=(const Progress&) = delete;

    // Clip `number` of `count` begins.
    void Begin(size_t number, size_t count, const std::string& name);
    // The clip's current step ("checking", "general repair", ...).
    void Step(const std::string& step);
    // The clip ends with `outcome`; on a terminal a line that is not kept
    // gives way to the next one.
    void End(const std::string& outcome, bool keep = true);

private:
    std::string Line(const std::string& step) const;
    void Show();
    void Tick();

    const bool terminal;
    std::mutex mutex;
    std::condition_variable wake;
    bool stopping = false;
    bool active = false;
    std::string clip, step;
    std::chrono::steady_clock::time_point start;
    std::thread ticker;
};
