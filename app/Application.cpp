#include "app/Application.h"

#include "app/Exceptions.h"
#include "app/Forms.h"
#include "app/Handles.h"
#include "app/SystemModule.h"

#include <algorithm>

namespace vantrel {

TApplication* Application = nullptr;

namespace {

const TWindowClass& ApplicationClass()
{
    static const TWindowClass windowClass({L"TApplication", ::LoadIconW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(1)),
                                           ::LoadCursorW(nullptr, IDC_ARROW)});
    return windowClass;
}

}  // namespace

struct TApplication::SyncRequest {
    const std::function<void()>* method;
    HANDLE done;
    std::exception_ptr error;
};

TApplication::TApplication()
{
    syncEvent_.reset(::CreateEventW(nullptr, FALSE, FALSE, nullptr));
    mainThreadId_ = ::GetCurrentThreadId();
    if (!Application) Application = this;
}

TApplication::~TApplication()
{
    DestroyForms();
    DestroyHandle();
    if (Application == this) Application = nullptr;
}

void TApplication::Initialize()
{
    // A hidden popup window: it carries the taskbar button while a window is shown and
    // receives close and session-end requests.
    if (!CreateHandle(ApplicationClass(), 0, title_.c_str(), WS_POPUP | WS_SYSMENU | WS_MINIMIZEBOX, 0, 0, 0, 0, nullptr))
        RaiseOSError(::GetLastError());
}

void TApplication::SetTitle(const std::wstring& title)
{
    title_ = title;
    if (Handle()) ::SetWindowTextW(Handle(), title_.c_str());
}

void TApplication::AddForm(TForm* form, std::function<void()> clearReference)
{
    forms_.emplace_back(form);
    formReferences_.push_back(std::move(clearReference));
    if (!MainForm) MainForm = form;
}

void TApplication::DestroyForms()
{
    while (!forms_.empty()) {
        std::unique_ptr<TForm> form = std::move(forms_.back());
        forms_.pop_back();
        std::function<void()> clearReference = std::move(formReferences_.back());
        formReferences_.pop_back();
        if (MainForm == form.get()) MainForm = nullptr;
        form->BeforeDestruction();
        form.reset();
        // No program-wide reference outlives its window.
        clearReference();
    }
}

bool TApplication::IsFormWindow(HWND window) const noexcept
{
    return std::any_of(forms_.begin(), forms_.end(), [window](const auto& form) { return form->Handle() == window; });
}

void TApplication::UpdateTaskbarButton()
{
    HWND handle = Handle();
    if (!handle) return;
    bool anyShown = std::any_of(forms_.begin(), forms_.end(), [](const auto& form) { return form->GetVisible(); });
    bool shown = ::IsWindowVisible(handle) != FALSE;
    if (anyShown && !shown)
        ::SetWindowPos(handle, nullptr, 0, 0, 0, 0, SWP_NOZORDER | SWP_NOACTIVATE | SWP_SHOWWINDOW);
    else if (!anyShown && shown)
        ::ShowWindow(handle, SW_HIDE);
}

void TApplication::Run()
{
    while (!terminated_) HandleMessage();
}

void TApplication::Terminate()
{
    ::PostQuitMessage(0);
}

bool TApplication::ProcessMessage()
{
    MSG msg;
    if (!::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) return false;
    if (msg.message == WM_QUIT) {
        terminated_ = true;
        return true;
    }
    Guarded([&] {
        HWND root = msg.hwnd ? ::GetAncestor(msg.hwnd, GA_ROOT) : nullptr;
        // Tab, Enter and Escape work in the program's windows as in any dialog.
        if (root && IsFormWindow(root) && ::IsDialogMessageW(root, &msg)) return;
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    });
    return true;
}

void TApplication::ProcessMessages()
{
    while (ProcessMessage()) {
    }
}

void TApplication::HandleMessage()
{
    if (ProcessMessage()) return;
    Idle();
}

void TApplication::Idle()
{
    if (CheckSynchronize()) return;
    // Wake for the next message or for a hand-over.
    HANDLE syncEvent = syncEvent_.get();
    ::MsgWaitForMultipleObjectsEx(1, &syncEvent, INFINITE, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    CheckSynchronize();
}

void TApplication::ShowException(const std::exception& error)
{
    std::wstring text = ErrorReportText(ExceptionMessage(error));
    if (ErrorReportHook) {
        ErrorReportHook(title_, text);
        return;
    }
    HWND owner = ::GetActiveWindow();
    if (!owner) owner = Handle();
    // Like a modal window: the program's other shown windows stay disabled while it is open
    // (the box disables its owner itself).
    const TDisabledWindows disabled(owner);
    ::MessageBoxW(owner, text.c_str(), title_.c_str(), MB_ICONERROR | MB_OK);
}

void TApplication::HandleException() noexcept
{
    try {
        throw;
    } catch (const std::exception& error) {
        try {
            ShowException(error);
        } catch (...) {
        }
    } catch (...) {
        try {
            ShowException(Exception(L"Unknown exception"));
        } catch (...) {
        }
    }
}

void TApplication::Synchronize(const std::function<void()>& method)
{
    if (IsMainThread()) {
        method();
        return;
    }
    // An event of the request's own: cheap (two hand-overs a second), and nothing outlives
    // the call, which a per-thread cached event would (its clean-up would run inside the
    // thread's exit).
    UniqueKernelHandle done(::CreateEventW(nullptr, FALSE, FALSE, nullptr));
    if (!done) RaiseOSError(::GetLastError());
    SyncRequest request{&method, done.get(), nullptr};
    {
        TCriticalSection::Guard guard(syncLock_);
        syncQueue_.push_back(&request);
    }
    // The event wakes an idle loop or a WaitFor; the posted WM_NULL reaches a loop that is
    // busy with messages (a modal window, a menu). If the post fails the event still does.
    ::SetEvent(syncEvent_.get());
    if (Handle()) ::PostMessageW(Handle(), WM_NULL, 0, 0);
    ::WaitForSingleObject(request.done, INFINITE);
    if (request.error) std::rethrow_exception(request.error);
}

bool TApplication::CheckSynchronize()
{
    if (!IsMainThread()) return false;
    std::vector<SyncRequest*> pending;
    {
        TCriticalSection::Guard guard(syncLock_);
        pending.swap(syncQueue_);
    }
    for (SyncRequest* request : pending) {
        try {
            (*request->method)();
        } catch (...) {
            request->error = std::current_exception();
        }
        ::SetEvent(request->done);
    }
    return !pending.empty();
}

LRESULT TApplication::OnMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_NULL:
        CheckSynchronize();
        return 0;
    case WM_CLOSE:
        OnClose();
        return 0;
    case WM_QUERYENDSESSION:
        return TRUE;
    case WM_ENDSESSION:
        OnEndSession(wParam != FALSE);
        return 0;
    default:
        return TWindow::OnMessage(message, wParam, lParam);
    }
}

void TApplication::OnClose()
{
    // Closing the application closes the main window: while the about window is shown that
    // only ends its modal loop; otherwise the program ends.
    if (MainForm && MainForm->GetVisible())
        MainForm->Close();
    else
        Terminate();
}

void TApplication::OnEndSession(bool ending)
{
    if (!ending) return;
    // The session ends: no time for the exit sequence. The windows go in reverse order (the
    // monitor window removes its icon) and the process ends here, since the system may end it
    // as soon as this message returns.
    Terminate();
    if (onBeforeEnd_) onBeforeEnd_();
    DestroyForms();
    ::ExitProcess(0);
}

}  // namespace vantrel
