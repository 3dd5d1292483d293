#include "heap/heap.h"

#include <malloc.h>

namespace heap {

void keepFreedMemory() {
    mallopt(M_TRIM_THRESHOLD, 2 << 20);
    mallopt(M_MMAP_THRESHOLD, 1 << 20);
}

}  // namespace heap
