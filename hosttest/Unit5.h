#pragma once
// THostTestForm: pings a host once a second and lists what came back.

#include <memory>
#include <string>

#include "app/Forms.h"
#include "app/Timer.h"
#include "hosttest/IdIcmpClient.h"

namespace vantrel {

class THostTestForm : public TForm {
public:
    THostTestForm();
    ~THostTestForm() override;

    TLabel Label1;
    HWND Edit1 = nullptr;
    HWND Button1 = nullptr;
    HWND ListBox1 = nullptr;
    std::unique_ptr<TTimer> Timer1;
    std::unique_ptr<TIdIcmpClient> IdIcmpClient1;

    void Button1Click(TObject* Sender);
    void Timer1Timer(TObject* Sender);
    void IdIcmpClient1Reply(TObject* ASender, const TReplyStatus& AReplyStatus);

    bool GetRunning() const noexcept { return running_; }

protected:
    void FormShow() override;
    void FormHide() override;
    void OnCommand(int id, int notifyCode, HWND control) override;
    void LayoutControls() override;

private:
    void AddLine(const std::wstring& line);
    bool running_ = false;
};

extern THostTestForm* HostTestForm;

}  // namespace vantrel
