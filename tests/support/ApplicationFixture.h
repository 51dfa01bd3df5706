#pragma once
// A test with the program's application object, as the program makes it: built, titled and
// initialized before each test, every error report recorded instead of shown, and gone after
// it with every window it created. A quit message a test leaves does not reach the next one.

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/Application.h"

namespace vantrel::testing {

struct ErrorReport {
    std::wstring caption;
    std::wstring text;
};

class ApplicationFixture : public ::testing::Test {
protected:
    explicit ApplicationFixture(std::wstring title = {}) : title_(std::move(title)) {}

    void SetUp() override;
    void TearDown() override;

    // The application's loop for `milliseconds`, or until it is terminated.
    void Pump(long milliseconds);
    // The application's loop until `done` holds or `milliseconds` have passed; true when it held.
    bool PumpUntil(const std::function<bool()>& done, long milliseconds);

    std::unique_ptr<TApplication> app_;
    std::vector<ErrorReport> reports_;

private:
    std::wstring title_;
};

}  // namespace vantrel::testing
