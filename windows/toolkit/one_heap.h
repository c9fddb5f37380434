#pragma once

// A large answer's bytes and their decoding are made on the exchange's
// worker thread. glibc gives each thread a heap of its own and never gives
// the top of such a heap back to the system: a 10 MB answer kept 30 MB after
// its window had closed, and as much again while shown. With one heap for
// every thread (the windows run one exchange at a time), what a text box
// gives back (malloc_trim) reaches the system. Call it before any thread
// starts.
void useOneHeap();
