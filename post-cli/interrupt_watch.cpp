#include "interrupt_watch.h"

#include <pthread.h>
#include <signal.h>

namespace {

// Wakes the watch when the run is over; never delivered anywhere else.
constexpr int kWake = SIGUSR1;

sigset_t signals(std::initializer_list<int> numbers)
{
    sigset_t set;
    sigemptyset(&set);
    for (int number : numbers)
        sigaddset(&set, number);
    return set;
}

} // namespace

InterruptWatch::InterruptWatch(std::function<void()> onInterrupt)
{
    // Left blocked in the calling thread afterwards too: the program is ending,
    // and a late Ctrl+C must not kill it in the middle of its last words.
    const sigset_t watched = signals({SIGINT, SIGTERM, kWake});
    pthread_sigmask(SIG_BLOCK, &watched, nullptr);
    thread_ = std::thread([watched, onInterrupt = std::move(onInterrupt)] {
        int number = 0;
        if (sigwait(&watched, &number) != 0 || number == kWake)
            return;
        onInterrupt();
        // From now on this thread takes SIGINT and SIGTERM with their default action.
        const sigset_t again = signals({SIGINT, SIGTERM});
        pthread_sigmask(SIG_UNBLOCK, &again, nullptr);
        const sigset_t wake = signals({kWake});
        sigwait(&wake, &number);
    });
}

InterruptWatch::~InterruptWatch()
{
    // Blocked in the watch's thread, the wake stays pending until it waits for it.
    pthread_kill(thread_.native_handle(), kWake);
    thread_.join();
}
