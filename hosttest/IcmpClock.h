#pragma once
// The clocks of the echo client, as replaceable entries: tests store their own function in
// an entry for a scope (app/EntryOverride.h) to play time forward without waiting.

#include <windows.h>

namespace vantrel::icmpclock {

// Milliseconds since system start, 64 bits wide. Starts at a binder that looks up
// GetTickCount64 by name in KERNEL32 on first use (it is missing before Windows Vista) and
// falls back to GetTickCount widened to 64 bits.
extern ULONGLONG(WINAPI* GetTickCount64)();

// The high-resolution counter that round-trip times and the wait are measured with: the
// system tick moves in steps of about 15 ms, far too coarse for a round trip on a LAN.
extern BOOL(WINAPI* QueryPerformanceCounter)(LARGE_INTEGER* count);
extern BOOL(WINAPI* QueryPerformanceFrequency)(LARGE_INTEGER* frequency);

// One reading of the performance counter.
LONGLONG PerformanceCount() noexcept;
// Counts per second of the performance counter.
LONGLONG PerformanceFrequency() noexcept;

}  // namespace vantrel::icmpclock
