#include "FreeMemory.h"

#include <malloc.h>

namespace platform {

void returnFreeMemory()
{
    // Releases free pages anywhere in the heap, not only at its top.
    malloc_trim(0);
}

} // namespace platform
