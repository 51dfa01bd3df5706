#include "app/PlatformVersion.h"

#include "app/SystemModule.h"

namespace vantrel {

PlatformVersionFunction PlatformVersion = &RealPlatformVersion;

TPlatformVersion RealPlatformVersion()
{
    OSVERSIONINFOW info{};
    info.dwOSVersionInfoSize = sizeof info;
    if (ntdll::RtlGetVersion && ntdll::RtlGetVersion(&info) == 0) return {info.dwMajorVersion, info.dwMinorVersion};
    return {};
}

}  // namespace vantrel
