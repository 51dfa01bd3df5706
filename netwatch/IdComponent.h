#pragma once
// The base of every network component: it holds one use of the shared stack for its whole
// life, so the platform's socket service is started before the component's own fields are
// set up and stays up until it has cleaned up.

#include "app/Object.h"
#include "netwatch/IdStack.h"

namespace vantrel {

class TIdComponent : public TObject {
public:
    explicit TIdComponent(TObject* owner = nullptr) : FOwner(owner) { TIdStack::IncUsage(); }
    ~TIdComponent() override { TIdStack::DecUsage(); }
    TIdComponent(const TIdComponent&) = delete;
    TIdComponent& operator=(const TIdComponent&) = delete;

    TObject* GetOwner() const noexcept { return FOwner; }

private:
    TObject* FOwner;
};

}  // namespace vantrel
