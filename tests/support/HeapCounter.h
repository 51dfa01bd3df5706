#pragma once
// The bytes of the C run-time heap in use, block by block: what the program itself holds,
// whatever the platform reports for the process. For tests that prove nothing grows; signed,
// so that a difference of two readings may be negative.

namespace vantrel::testing {

long long HeapBytesInUse();

}  // namespace vantrel::testing
