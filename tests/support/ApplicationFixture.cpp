#include "tests/support/ApplicationFixture.h"

#include "tests/support/Pump.h"

namespace vantrel::testing {

void ApplicationFixture::SetUp()
{
    reports_.clear();
    app_ = std::make_unique<TApplication>();
    Application = app_.get();
    app_->SetTitle(title_);
    app_->Initialize();
    app_->ErrorReportHook = [this](const std::wstring& caption, const std::wstring& text) {
        reports_.push_back({caption, text});
    };
}

void ApplicationFixture::TearDown()
{
    if (app_) app_->DestroyForms();
    app_.reset();
    Application = nullptr;
    DiscardQuit();
}

void ApplicationFixture::Pump(long milliseconds)
{
    PumpFor(*app_, milliseconds);
}

bool ApplicationFixture::PumpUntil(const std::function<bool()>& done, long milliseconds)
{
    return vantrel::testing::PumpUntil(*app_, done, milliseconds);
}

}  // namespace vantrel::testing
