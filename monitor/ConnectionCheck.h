#pragma once
// What the once-a-second connection check shows for the IP watcher's verdict. No Windows
// header: the rule is tested natively; the monitor window applies it to the icon.

namespace vantrel {

struct TConnectionDisplay {
    int IconIndex;      // into the tray icon's pictures: 0 connected, 1 not connected
    const wchar_t* Hint;  // the new tooltip, or null to leave the sampler's one in place
};

constexpr TConnectionDisplay ConnectionDisplay(bool online) noexcept
{
    // Online, the sampler writes the address and the counts into the tooltip twice a second;
    // offline there is no address to show, so the check says so itself.
    return online ? TConnectionDisplay{0, nullptr} : TConnectionDisplay{1, L"Vantrel - Not Connected"};
}

}  // namespace vantrel
