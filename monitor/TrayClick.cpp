#include "monitor/TrayClick.h"

namespace vantrel {

TTrayClick::Action TTrayClick::Feed(Mouse mouse) noexcept
{
    switch (mouse) {
    case Mouse::LeftDown:
        pressed_ = true;
        return Action::None;
    case Mouse::LeftUp:
        return pressed_ ? Action::Click : Action::None;
    case Mouse::RightUp:
        return Action::Menu;
    case Mouse::LeftDoubleClick:
    case Mouse::RightDown:
    case Mouse::Other:
        break;
    }
    return Action::None;
}

}  // namespace vantrel
