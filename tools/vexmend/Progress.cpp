#include "Progress.h"

#include <cstdio>

#if defined(_WIN32)
#include <io.h>
#define isatty _isatty
#define fileno _fileno
#else
#include <unistd.h>
#endif

Progress::Progress() : terminal(isatty(fileno(stderr)) != 0)
{
    if (terminal) ticker = std::thread([this] { Tick(); });
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

std::string Progress::Line(const std::string& text) const
{
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    char time[32];
    std::snprintf(time, sizeof time, "%.1f s", seconds);
    return clip + "  " + text + "  " + time;
}

void Progress::Show()
{
    // "\33[K" clears what a longer line before left.
    std::fprintf(stderr, "\r%s\33[K", Line(step).c_str());
    std::fflush(stderr);
}

void Progress::Tick()
{
    std::unique_lock<std::mutex> lock(mutex);
    while (!stopping) {
        wake.wait_for(lock, std::chrono::milliseconds(500));
        if (active && !stopping) Show();
    }
}

void Progress::Begin(size_t number, size_t count, const std::string& name)
{
    std::lock_guard<std::mutex> lock(mutex);
    clip = "clip " + std::to_string(number) + " of " + std::to_string(count) + " " + name;
    start = std::chrono::steady_clock::now();
    active = true;
}

void Progress::Step(const std::string& text)
{
    std::lock_guard<std::mutex> lock(mutex);
    step = text;
    if (terminal) {
        Show();
    } else {
        std::fprintf(stderr, "%s: %s\n", clip.c_str(), text.c_str());
    }
}

void Progress::End(const std::string& outcome, bool keep)
{
    std::lock_guard<std::mutex> lock(mutex);
    active = false;
    if (terminal) {
        std::fprintf(stderr, "\r%s\33[K%s", Line(outcome).c_str(), keep ? "\n" : "");
        std::fflush(stderr);
    } else {
        std::fprintf(stderr, "%s\n", Line(outcome).c_str());
    }
}
