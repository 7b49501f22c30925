#include "Progress.h"

#include <cstdio>

#if defined(_WIN32)
#include <io.h>
#define isatty _isatty
#define fileno _fileno
#else
#include <unistd.h>
#endif

Progress::Progress(bool oneAtATime) : rewrite(oneAtATime && isatty(fileno(stderr)) != 0)
{
    if (rewrite) ticker = std::thread([this] { Tick(); });
}

Progress::~Progress()
{
    {
        std::lock_guard<std::mutex> lock(mutex);
        stopping = true;
    }
    wake.notify_all();
    if (ticker.joinable()) ticker.join();
}

std::string Progress::Line(const Clip& clip, const std::string& text)
{
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - clip.start).count();
    char time[32];
    std::snprintf(time, sizeof time, "%.1f s", seconds);
    return clip.name + "  " + text + "  " + time;
}

void Progress::Show(const Clip& clip)
{
    // "\33[K" clears what a longer line before left.
    std::fprintf(stderr, "\r%s\33[K", Line(clip, clip.step).c_str());
    std::fflush(stderr);
}

void Progress::Tick()
{
    std::unique_lock<std::mutex> lock(mutex);
    while (!stopping) {
        wake.wait_for(lock, std::chrono::milliseconds(500));
        if (clips.size() == 1 && !stopping) Show(clips.begin()->second);
    }
}

void Progress::Begin(size_t number, size_t count, const std::string& name)
{
    std::lock_guard<std::mutex> lock(mutex);
    clips[std::this_thread::get_id()] = {
        "clip " + std::to_string(number) + " of " + std::to_string(count) + " " + name, "",
        std::chrono::steady_clock::now()};
}

void Progress::Step(const std::string& text)
{
    std::lock_guard<std::mutex> lock(mutex);
    Clip& clip = clips[std::this_thread::get_id()];
    clip.step = text;
    if (rewrite) {
        Show(clip);
    } else {
        std::fprintf(stderr, "%s: %s\n", clip.name.c_str(), text.c_str());
    }
}

void Progress::End(const std::string& outcome, bool keep)
{
    std::lock_guard<std::mutex> lock(mutex);
    const auto found = clips.find(std::this_thread::get_id());
    if (found == clips.end()) return;
    if (rewrite) {
        std::fprintf(stderr, "\r%s\33[K%s", Line(found->second, outcome).c_str(), keep ? "\n" : "");
        std::fflush(stderr);
    } else {
        std::fprintf(stderr, "%s\n", Line(found->second, outcome).c_str());
    }
    clips.erase(found);
}
