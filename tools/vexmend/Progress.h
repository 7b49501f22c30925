// The card mode's progress on standard error: on a terminal, while one clip
// is at work at a time, one line per clip, rewritten as the clip's step and
// time spent change; otherwise a plain line per step. Each thread shows the
// clip it works on, so that clips at work at the same time have lines of
// their own, never mixed.
#pragma once

#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <string>
#include <thread>

class Progress {
public:
    // `oneAtATime`: one clip is at work at a time, so that its line can be
    // rewritten.
    explicit Progress(bool oneAtATime);
    ~Progress();
    Progress(const Progress&) = delete;
    Progress& operator=(const Progress&) = delete;

    // Clip `number` of `count` begins on the calling thread.
    void Begin(size_t number, size_t count, const std::string& name);
    // The calling thread's clip's current step ("checking", "general repair", ...).
    void Step(const std::string& step);
    // The calling thread's clip ends with `outcome`; on a terminal a line
    // that is not kept gives way to the next one.
    void End(const std::string& outcome, bool keep = true);

private:
    struct Clip {
        std::string name, step;
        std::chrono::steady_clock::time_point start;
    };

    static std::string Line(const Clip& clip, const std::string& text);
    void Show(const Clip& clip);
    void Tick();

    const bool rewrite;
    std::mutex mutex;
    std::condition_variable wake;
    bool stopping = false;
    std::map<std::thread::id, Clip> clips;  // the clips at work, by their thread
    std::thread ticker;
};
