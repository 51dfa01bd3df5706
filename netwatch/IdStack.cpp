#include "netwatch/IdStack.h"

#include <windows.h>

#include <utility>

#include "app/Handles.h"
#include "netwatch/IdException.h"
#include "netwatch/IdIpHelper.h"
#include "netwatch/IdWinsock.h"

namespace vantrel {

namespace {

// The stack lock: created at first use and never freed, so that a component destroyed during
// the process's own shutdown still finds it.
TCriticalSection& StackSection() noexcept
{
    static TCriticalSection* section = new TCriticalSection;
    return *section;
}

class StackLock : public TCriticalSection::Guard {
public:
    StackLock() noexcept : Guard(StackSection()) {}
};

TIdStack* sharedStack = nullptr;
std::uint32_t usageCount = 0;
TIdStack::TIdStackClass stackClass = &TIdStackWindows::Create;
bool started = false;

// The modules are released when the process ends; the shared stack itself went with the
// last DecUsage.
struct ExitCleanup {
    ~ExitCleanup() { TIdStack::FinalizeModules(); }
} exitCleanup;

}  // namespace

void TIdStack::IncUsage()
{
    StackLock lock;
    if (usageCount == 0) {
        if (sharedStack) throw EIdException(L"Stack already created.");
        if (!stackClass) throw EIdException(L"Stack Class is undefined.");
        sharedStack = stackClass().release();
    }
    ++usageCount;
}

void TIdStack::DecUsage() noexcept
{
    StackLock lock;
    if (usageCount == 0) return;
    if (--usageCount == 0) delete std::exchange(sharedStack, nullptr);
}

TIdStack* TIdStack::GetSharedStack() noexcept
{
    return sharedStack;
}

std::uint32_t TIdStack::GetUsageCount() noexcept
{
    return usageCount;
}

bool TIdStack::GetStarted() noexcept
{
    return started;
}

TIdStack::TIdStackClass TIdStack::GetStackClass() noexcept
{
    return stackClass;
}

void TIdStack::SetStackClass(TIdStackClass newClass) noexcept
{
    StackLock lock;
    stackClass = newClass;
}

void TIdStack::FinalizeModules() noexcept
{
    ws2::FinalizeModules();
    iphlp::FinalizeIpHelper();
    started = false;
}

std::wstring TIdStack::GetLocalAddress()
{
    TIdStackLocalAddressList list;
    GetLocalAddressList(list);
    return FirstIPv4Address(list);
}

const std::vector<std::wstring>& TIdStack::GetLocalAddresses()
{
    if (!FLocalAddresses) FLocalAddresses = std::make_unique<std::vector<std::wstring>>();
    FLocalAddresses->clear();
    AddLocalAddressesToList(*FLocalAddresses);
    return *FLocalAddresses;
}

void TIdStack::AddLocalAddressesToList(std::vector<std::wstring>& list)
{
    TIdStackLocalAddressList addresses;
    GetLocalAddressList(addresses);
    for (std::size_t i = 0; i < addresses.GetCount(); ++i) {
        if (addresses[i].GetIPVersion() == TIdIPVersion::Id_IPv4) list.push_back(addresses[i].GetIPAddress());
    }
}

TIdStackWindows::TIdStackWindows()
{
    if (started) return;
    try {
        ws2::StartSocketService();
        ws2::StartNameResolution();
        ws2::StartIdn();
        iphlp::StartIpHelper();
    } catch (const std::exception& error) {
        throw EIdStackInitializationFailed(ExceptionMessage(error));
    }
    started = true;
}

std::unique_ptr<TIdStack> TIdStackWindows::Create()
{
    return std::make_unique<TIdStackWindows>();
}

}  // namespace vantrel
