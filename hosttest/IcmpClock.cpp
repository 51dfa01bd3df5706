#include "hosttest/IcmpClock.h"

#include "app/DynamicLoader.h"

namespace vantrel::icmpclock {

namespace {

ULONGLONG WINAPI TickCountWidened()
{
    return ::GetTickCount();
}

// Taken by name so that the program still starts where the function is missing.
FARPROC FindInKernel32(const char* name) noexcept
{
    return FindProcedure(::GetModuleHandleW(L"KERNEL32"), name);
}

constexpr char kGetTickCount64Name[] = "GetTickCount64";

}  // namespace

ULONGLONG(WINAPI* GetTickCount64)() =
    &FirstCallBinder<GetTickCount64, kGetTickCount64Name, FindInKernel32, &TickCountWidened>::Call;
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
