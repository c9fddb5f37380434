#pragma once

// A large answer's bytes and their decoding are made on the exchange's
// worker thread. glibc gives each thread a heap of its own and never gives
// the top of such a heap back to the system: a 10 MB answer kept 30 MB after
// its window had closed. With one heap for every thread (the windows run one
// exchange at a time), what is given back reaches the system.
//
// Freed blocks below 32 MB stay in that heap for the next post instead of
// going back at once: fresh pages cost a fault each, about 4 µs on a virtual
// machine, and up to 2 ms for every 2 MB a host has taken back. Call it
// before any thread starts.
void useOneHeap();

// A large text was let go (its box closed, its loading's passing copies
// freed): what the heap keeps unused goes back to the system once no such
// request has come for two seconds.
void giveBackFreedMemorySoon();

// Whether a give-back is still to come: lets the benchmark and the tests
// wait for it.
bool freedMemoryGiveBackPending();
