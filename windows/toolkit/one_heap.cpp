#include "one_heap.h"

#if defined(__GLIBC__)
#include <malloc.h>
#endif

void useOneHeap()
{
#if defined(__GLIBC__)
    mallopt(M_ARENA_MAX, 1);
#endif
}
