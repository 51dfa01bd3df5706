#include <gtest/gtest.h>

#include <stdexcept>

#include "app/Exceptions.h"

namespace vantrel {
namespace {

TEST(ErrorReportText, AppendsFullStopOnlyAfterCharactersAboveIt)
{
    struct Case {
        const wchar_t* message;
        const wchar_t* expected;
    };
    const Case cases[] = {
        {L"Cannot remove shell notification icon", L"Cannot remove shell notification icon."},
        {L"Socket Error # 10065", L"Socket Error # 10065."},  // digit
        {L"Package Size Too Big.", L"Package Size Too Big."},
        {L"Could not get TcpStatistics!", L"Could not get TcpStatistics!"},
        {L"ends with a comma,", L"ends with a comma,"},  // ',' is below '.'
        {L"ends with a slash/", L"ends with a slash/."},  // '/' is just above '.'
        {L"", L""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ErrorReportText(c.message), c.expected) << ToUtf8(c.message);
    }
}

TEST(Utf8, RoundTripsOutsideTheBasicPlane)
{
    const std::wstring text = L"Gr\u00FC\u00DFe \u20AC \U0001F600";
    EXPECT_EQ(FromUtf8(ToUtf8(text)), text);
    EXPECT_EQ(ToUtf8(L"\u00E9"), "\xC3\xA9");
    EXPECT_EQ(FromUtf8("\xC3"), L"\uFFFD");  // truncated sequence
}

}  // namespace
}  // namespace vantrel

namespace vantrel {
namespace {

TEST(ExceptionMessage, TakesTheProgramsOwnMessageElseTheUtf8OfWhat)
{
    // Derived classes keep their own message; a standard exception's what() is UTF-8.
    EXPECT_EQ(ExceptionMessage(EOSError(L"Fehler \u00FC", 5)), L"Fehler \u00FC");
    EXPECT_EQ(ExceptionMessage(std::runtime_error("caf\xC3\xA9")), L"caf\u00E9");
}

}  // namespace
}  // namespace vantrel
