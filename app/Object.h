#pragma once
// The root of the framework's objects and the event type, apart from the application shell so
// that code without a window (the network components, the threads) can name them without
// <windows.h>.

#include <functional>

namespace vantrel {

class TObject {
public:
    virtual ~TObject() = default;
};

// An event: a member of some object, called with the sender.
using TNotifyEvent = std::function<void(TObject* Sender)>;

}  // namespace vantrel
