#pragma once
// The process-wide network stack that every network component shares.
//
// The first component takes a use (IncUsage) and thereby creates the shared stack, which
// starts the platform's socket service and binds the modules of the network layer; the last
// component to go releases it (DecUsage). The modules stay loaded and started until the
// process exits, so a later component creates a new stack without starting anything again.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "netwatch/IdLocalAddress.h"

namespace vantrel {

class TIdStack {
public:
    virtual ~TIdStack() = default;
    TIdStack(const TIdStack&) = delete;
    TIdStack& operator=(const TIdStack&) = delete;

    // Take and release one use of the shared stack, under the process-wide stack lock. The
    // first use creates the stack; an exception from that leaves the count unchanged.
    static void IncUsage();
    static void DecUsage() noexcept;

    // The shared stack, or null when no component holds a use.
    static TIdStack* GetSharedStack() noexcept;
    static std::uint32_t GetUsageCount() noexcept;
    // True once the platform's modules have been started; false again after the clean-up.
    static bool GetStarted() noexcept;

    // The class the first use instantiates; null means none is set.
    using TIdStackClass = std::unique_ptr<TIdStack> (*)();
    static TIdStackClass GetStackClass() noexcept;
    static void SetStackClass(TIdStackClass stackClass) noexcept;

    // The clean-up at process exit: releases the modules, stops the socket service, puts the
    // entries back to their binders and clears the started flag. Runs by itself at exit; tests
    // call it to begin from a fresh process state.
    static void FinalizeModules() noexcept;

    // The first IPv4 address of a fresh enumeration, or empty.
    std::wstring GetLocalAddress();
    // Appends the machine's addresses to `list` (which callers pass empty).
    virtual void GetLocalAddressList(TIdStackLocalAddressList& list) = 0;
    // The IPv4 addresses of a fresh enumeration, in a list the stack owns and refills on each
    // call.
    const std::vector<std::wstring>& GetLocalAddresses();
    // Appends the IPv4 addresses of a fresh enumeration to `list`.
    void AddLocalAddressesToList(std::vector<std::wstring>& list);

protected:
    TIdStack() = default;

private:
    std::unique_ptr<std::vector<std::wstring>> FLocalAddresses;
};

class TIdStackBSDBase : public TIdStack {
protected:
    TIdStackBSDBase() = default;
};

// The stack of Windows: starts the platform modules on its first construction in the process
// and enumerates addresses through the IP-information functions.
class TIdStackWindows : public TIdStackBSDBase {
public:
    TIdStackWindows();
    void GetLocalAddressList(TIdStackLocalAddressList& list) override;

    static std::unique_ptr<TIdStack> Create();
};

}  // namespace vantrel
