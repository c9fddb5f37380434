#include "heap_policy.h"

#include <QCoreApplication>
#include <QPointer>
#include <QTimer>

#include <cstdlib> // defines __GLIBC__ where it is glibc

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace {

constexpr int kQuietMs = 2000;

QPointer<QTimer> quiet;

void giveBackNow()
{
#if defined(__GLIBC__)
    malloc_trim(0);
#endif
}

} // namespace

void useOneHeap()
{
#if defined(__GLIBC__)
    mallopt(M_ARENA_MAX, 1);
    // Fixed, where glibc would otherwise move them with the blocks it sees:
    // larger blocks are mapped apart and go back when freed; the heap's
    // free top is given back past 128 MB, or by giveBackFreedMemorySoon().
    mallopt(M_MMAP_THRESHOLD, 32 << 20);
    mallopt(M_TRIM_THRESHOLD, 128 << 20);
#endif
}

void giveBackFreedMemorySoon()
{
    if (!quiet) {
        if (!QCoreApplication::instance()) {
            giveBackNow();
            return;
        }
        quiet = new QTimer(QCoreApplication::instance());
        quiet->setSingleShot(true);
        quiet->setInterval(kQuietMs);
        QObject::connect(quiet, &QTimer::timeout, giveBackNow);
    }
    quiet->start();
}

bool freedMemoryGiveBackPending()
{
    return quiet && quiet->isActive();
}
