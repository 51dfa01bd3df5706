// What the notification icon's mouse messages ask for, fed as the icon's window feeds them.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "monitor/TrayClick.h"

namespace vantrel {
namespace {

using Mouse = TTrayClick::Mouse;
using Action = TTrayClick::Action;

const char* Name(Action action)
{
    switch (action) {
    case Action::None: return "none";
    case Action::Click: return "click";
    case Action::Menu: return "menu";
    }
    return "?";
}

std::string Names(const std::vector<Action>& actions)
{
    std::string text;
    for (Action action : actions) text += std::string(text.empty() ? "" : " ") + Name(action);
    return text.empty() ? "(nothing)" : text;
}

// Feeds `messages` as the icon's window does: a click's action runs before the next message,
// and the first click's action sees `duringAction` arrive (the messages that reach the icon
// while the window the action opened runs its own loop).
struct Driver {
    TTrayClick click;
    std::vector<Mouse> duringAction;
    bool nestedDone = false;
    std::vector<Action> asked;

    void Feed(const std::vector<Mouse>& messages)
    {
        for (Mouse mouse : messages) {
            const Action action = click.Feed(mouse);
            if (action == Action::None) continue;
            asked.push_back(action);
            if (action != Action::Click) continue;
            if (!nestedDone) {
                nestedDone = true;
                Feed(duringAction);
            }
            click.ActionReturned();
        }
    }
};

TEST(TrayClick, MessageSequencesAskForWhatAPersonMeant)
{
    struct Case {
        const char* what;
        std::vector<Mouse> messages;
        std::vector<Mouse> duringAction;
        std::vector<Action> expected;
    };
    const Case cases[] = {
        {"a left click", {Mouse::LeftDown, Mouse::LeftUp}, {}, {Action::Click}},
        {"a release whose press was not seen", {Mouse::LeftUp}, {}, {}},
        {"a press alone", {Mouse::LeftDown}, {}, {}},
        {"a double click acts as one click",
         {Mouse::LeftDown, Mouse::LeftUp, Mouse::LeftDoubleClick, Mouse::LeftUp}, {}, {Action::Click}},
        {"two separate clicks", {Mouse::LeftDown, Mouse::LeftUp, Mouse::LeftDown, Mouse::LeftUp}, {},
         {Action::Click, Action::Click}},
        {"moves between press and release", {Mouse::LeftDown, Mouse::Other, Mouse::Other, Mouse::LeftUp}, {},
         {Action::Click}},
        {"a right click opens the menu", {Mouse::RightDown, Mouse::RightUp}, {}, {Action::Menu}},
        {"every right release opens the menu", {Mouse::RightUp, Mouse::RightDown, Mouse::RightUp}, {},
         {Action::Menu, Action::Menu}},
        {"moves, middle button and right double clicks ask nothing",
         {Mouse::Other, Mouse::RightDown, Mouse::Other, Mouse::LeftDoubleClick}, {}, {}},
        {"a release after the click's action returned does nothing",
         {Mouse::LeftDown, Mouse::LeftUp, Mouse::LeftUp}, {}, {Action::Click}},
        {"a left click then a right click", {Mouse::LeftDown, Mouse::LeftUp, Mouse::RightDown, Mouse::RightUp}, {},
         {Action::Click, Action::Menu}},
        {"under the window the click opened, the menu still opens", {Mouse::LeftDown, Mouse::LeftUp},
         {Mouse::RightDown, Mouse::RightUp}, {Action::Click, Action::Menu}},
        {"under the window the click opened, a new click acts", {Mouse::LeftDown, Mouse::LeftUp},
         {Mouse::LeftDown, Mouse::LeftUp}, {Action::Click, Action::Click}},
        {"under the window the click opened, the click's mark is still set", {Mouse::LeftDown, Mouse::LeftUp},
         {Mouse::LeftUp}, {Action::Click, Action::Click}},
        {"the mark is gone once the window the click opened has closed",
         {Mouse::LeftDown, Mouse::LeftUp, Mouse::LeftUp}, {Mouse::LeftDown, Mouse::LeftUp}, {Action::Click, Action::Click}},
    };
    for (const Case& c : cases) {
        Driver driver;
        driver.duringAction = c.duringAction;
        driver.Feed(c.messages);
        EXPECT_EQ(Names(driver.asked), Names(c.expected)) << c.what;
    }
}

}  // namespace
}  // namespace vantrel
