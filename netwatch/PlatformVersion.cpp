#include "netwatch/PlatformVersion.h"

#include <windows.h>

namespace vantrel {

PlatformVersionFunction PlatformVersion = &RealPlatformVersion;

TPlatformVersion RealPlatformVersion()
{
    using RtlGetVersionFunction = LONG(WINAPI*)(OSVERSIONINFOW*);
    // ntdll is in every process; GetModuleHandle takes no reference and loads nothing.
    static const auto rtlGetVersion = reinterpret_cast<RtlGetVersionFunction>(
        reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "RtlGetVersion")));
    OSVERSIONINFOW info{};
    info.dwOSVersionInfoSize = sizeof info;
    if (rtlGetVersion && rtlGetVersion(&info) == 0) return {info.dwMajorVersion, info.dwMinorVersion};
    return {};
}

}  // namespace vantrel
