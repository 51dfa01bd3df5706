#include "hosttest/IcmpClock.h"

namespace vantrel::icmpclock {

namespace {

ULONGLONG WINAPI TickCountWidened()
{
    return ::GetTickCount();
}

ULONGLONG WINAPI BindTickCount64()
{
    // Taken by name so that the program still starts where the function is missing.
    FARPROC found = ::GetProcAddress(::GetModuleHandleW(L"KERNEL32"), "GetTickCount64");
    GetTickCount64 = found ? reinterpret_cast<ULONGLONG(WINAPI*)()>(reinterpret_cast<void*>(found)) : &TickCountWidened;
    return GetTickCount64();
}

}  // namespace

ULONGLONG(WINAPI* GetTickCount64)() = &BindTickCount64;
BOOL(WINAPI* QueryPerformanceCounter)(LARGE_INTEGER*) = &::QueryPerformanceCounter;
BOOL(WINAPI* QueryPerformanceFrequency)(LARGE_INTEGER*) = &::QueryPerformanceFrequency;

LONGLONG PerformanceCount() noexcept
{
    LARGE_INTEGER count{};
    QueryPerformanceCounter(&count);
    return count.QuadPart;
}

LONGLONG PerformanceFrequency() noexcept
{
    LARGE_INTEGER frequency{};
    QueryPerformanceFrequency(&frequency);
    return frequency.QuadPart;
}

}  // namespace vantrel::icmpclock
