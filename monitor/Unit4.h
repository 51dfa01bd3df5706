#pragma once
// CTestConnectionThread: once a second, turns the IP watcher's verdict into the icon's
// connected or not-connected picture and the monitor window's online flag.

#include "app/Thread.h"

namespace vantrel {

class CTestConnectionThread : public TThread {
protected:
    void Execute() override;
};

}  // namespace vantrel
