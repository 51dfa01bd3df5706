#include "monitor/ConnectionCheck.h"

#include <gtest/gtest.h>

#include <string>

namespace vantrel {
namespace {

TEST(ConnectionDisplay, OnlineShowsTheConnectedFaceAndKeepsTheTooltip)
{
    const TConnectionDisplay display = ConnectionDisplay(true);
    EXPECT_EQ(display.IconIndex, 0);
    EXPECT_EQ(display.Hint, nullptr);
}

TEST(ConnectionDisplay, OfflineShowsTheNotConnectedFaceAndSaysSo)
{
    const TConnectionDisplay display = ConnectionDisplay(false);
    EXPECT_EQ(display.IconIndex, 1);
    ASSERT_NE(display.Hint, nullptr);
    EXPECT_EQ(std::wstring(display.Hint), L"Vantrel - Not Connected");
}

}  // namespace
}  // namespace vantrel
