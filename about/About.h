#pragma once
// TAboutForm: product name, version, and the maker's web and support lines.

#include "app/Forms.h"
#include "app/Handles.h"

namespace vantrel {

class TAboutForm : public TForm {
public:
    TAboutForm();

    TLabel Label1;
    TLabel Label2;
    TLabel Label4;
    TLabel Label5;
    TLabel Label6;
    HWND Image1 = nullptr;
    HWND Label3 = nullptr;  // the web address, a link
    HWND BitBtn1 = nullptr;

    void BitBtn1Click(TObject* Sender);
    void Label3Click(TObject* Sender);

    static constexpr const wchar_t* WebAddress = L"http://www.durvane.com/vantrel/";

protected:
    void FormCreate() override;
    void OnCommand(int id, int notifyCode, HWND control) override;
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) override;
    void LayoutControls() override;

private:
    void CreateLinkFont();

    UniqueFont linkFont_;
    UniqueBitmap logo_;
};

extern TAboutForm* AboutForm;

}  // namespace vantrel
