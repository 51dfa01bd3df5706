#pragma once
// What the monitor window needs of the statistics window: whether it exists, to open it, and
// to write the totals into it. The monitor does not know the window's class; the program entry
// wires the two together, and the window may not exist (yet, or any more) when it is asked.

#include <string>

namespace vantrel {

class IStatisticsView {
public:
    virtual bool Exists() = 0;
    // Shows the window modally, unless it is already showing.
    virtual void Open() = 0;
    virtual void SetTotals(const std::wstring& received, const std::wstring& sent) = 0;

protected:
    ~IStatisticsView() = default;
};

}  // namespace vantrel
