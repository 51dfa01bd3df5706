#pragma once
// TTrayClick: what a mouse message from the notification icon asks the program to do.
//
// The shell reports the pointer over the icon as plain mouse messages. A left click is a press
// then a release on the icon; a release whose press was not seen (the button went down
// elsewhere, or the release ends a double click whose click already acted) does nothing, so a
// double click acts once, as one click. The right button's release asks for the menu. Nothing
// else (moves, the middle button, the right button's press, double clicks) asks for anything.
//
// The click's mark stays set while the click's action runs and is cleared only when it
// returns (ActionReturned): the action may open a modal window, and the icon's messages go on
// arriving inside that window's loop.

namespace vantrel {

class TTrayClick {
public:
    enum class Mouse { LeftDown, LeftUp, LeftDoubleClick, RightDown, RightUp, Other };
    enum class Action { None, Click, Menu };

    // The decision for one mouse message. After Action::Click the caller runs the click's
    // action and then calls ActionReturned.
    Action Feed(Mouse mouse) noexcept;
    void ActionReturned() noexcept { pressed_ = false; }

private:
    bool pressed_ = false;
};

}  // namespace vantrel
