#pragma once
// The platform's version numbers, which decide how the enumeration finds subnet masks and
// which notification record the shell understands. A replaceable entry, so that tests can
// play an older system. No Windows header: the version tests are plain arithmetic.

#include <cstdint>

namespace vantrel {

struct TPlatformVersion {
    std::uint32_t Major = 0;
    std::uint32_t Minor = 0;
};

// True when `version` is at least major.minor.
constexpr bool VersionAtLeast(TPlatformVersion version, std::uint32_t major, std::uint32_t minor) noexcept
{
    return version.Major > major || (version.Major == major && version.Minor >= minor);
}

using PlatformVersionFunction = TPlatformVersion (*)();

// Starts at RealPlatformVersion; tests may replace it (app/EntryOverride.h).
extern PlatformVersionFunction PlatformVersion;

// The numbers ntdll's RtlGetVersion reports; zero where it cannot tell.
TPlatformVersion RealPlatformVersion();

}  // namespace vantrel
