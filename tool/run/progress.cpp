// Progress of the record scan on standard error.
#include "run/progress.h"

#include "platform/platform.h"
#include "run/seam.h"

#include <chrono>
#include <cstdio>

namespace {

using Clock = std::chrono::steady_clock;

struct Progress {
    bool on = false;     // standard error is a terminal
    bool shown = false;  // a line is on the screen
    uint64_t first = 0, total = 0;
    Clock::time_point start, next;
};

Progress progress;

// Runs that end within this time show nothing; test builds may shorten it.
constexpr double kQuietSeconds = 1.0;
// Time between updates.
constexpr std::chrono::milliseconds kInterval(250);

}  // namespace

void progress_start(uint64_t first, uint64_t total)
{
    progress.on = standard_error_is_terminal();
    progress.shown = false;
    progress.first = first;
    progress.total = total;
    progress.start = Clock::now();
    progress.next = progress.start + std::chrono::duration_cast<Clock::duration>(
                                         std::chrono::duration<double>(quiet_seconds(kQuietSeconds)));
}

void progress_update(uint64_t done)
{
    if (!progress.on)
        return;
    Clock::time_point now = Clock::now();
    if (now < progress.next || progress.total <= progress.first)
        return;
    progress.next = now + kInterval;
    uint64_t percent = (done - progress.first) * 100 / (progress.total - progress.first);
    fprintf(stderr, "\rScanning records %3u %%", (unsigned)(percent > 100 ? 100 : percent));
    fflush(stderr);
    progress.shown = true;
}

void progress_erase(void)
{
    if (!progress.shown)
        return;
    fprintf(stderr, "\r%24s\r", "");
    fflush(stderr);
    progress.shown = false;
}
