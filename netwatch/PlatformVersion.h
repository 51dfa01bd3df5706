#pragma once
// The platform's version numbers, which decide how the enumeration finds subnet masks.
// A replaceable entry, so that tests can play an older system.

#include "netwatch/IdAddressText.h"

namespace vantrel {

using PlatformVersionFunction = TPlatformVersion (*)();

// Starts at RealPlatformVersion; tests may replace it (netwatch/EntryOverride.h).
extern PlatformVersionFunction PlatformVersion;

// The numbers RtlGetVersion reports (GetVersionEx would lie to a program without a
// compatibility manifest entry for the running system).
TPlatformVersion RealPlatformVersion();

}  // namespace vantrel
