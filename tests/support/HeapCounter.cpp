#include "tests/support/HeapCounter.h"

#include <malloc.h>

namespace vantrel::testing {

long long HeapBytesInUse()
{
    _HEAPINFO entry{};
    long long inUse = 0;
    while (_heapwalk(&entry) == _HEAPOK) {
        if (entry._useflag == _USEDENTRY) inUse += static_cast<long long>(entry._size);
    }
    return inUse;
}

}  // namespace vantrel::testing
