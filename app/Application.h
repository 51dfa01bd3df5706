#pragma once
// The application object: the hidden application window, the message loop of the
// user-interface thread, the error report, hand-overs from worker threads, and the program's
// windows in creation order.

#include <windows.h>

#include <exception>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/Handles.h"
#include "app/Messages.h"
#include "app/Object.h"
#include "app/Window.h"

namespace vantrel {

class TForm;

class TApplication : public TObject, public TWindow {
public:
    TApplication();
    ~TApplication() override;
    TApplication(const TApplication&) = delete;
    TApplication& operator=(const TApplication&) = delete;

    // Creates the application window. Call once on the user-interface thread.
    void Initialize();

    const std::wstring& GetTitle() const noexcept { return title_; }
    void SetTitle(const std::wstring& title);

    bool ShowMainForm = false;
    TForm* MainForm = nullptr;

    DWORD MainThreadId() const noexcept { return mainThreadId_; }
    bool IsMainThread() const noexcept { return ::GetCurrentThreadId() == mainThreadId_; }

    // Creates a window of class T, storing it in `reference` before its construction runs
    // (code running during the construction already finds it) and clearing the reference
    // again when the construction fails. The application owns the window and destroys the
    // windows in reverse creation order, clearing each reference once its window is gone.
    // The reference must outlive the application (the program's are program-wide). The first
    // window created becomes MainForm.
    template <typename T>
    void CreateForm(T*& reference);

    // The message loop; returns when the quit message has been taken.
    void Run();
    bool GetTerminated() const noexcept { return terminated_; }
    // Posts the quit message; the loops end when they take it.
    void Terminate();
    // Takes and handles one waiting message; false when the queue was empty.
    bool ProcessMessage();
    // Handles every waiting message.
    void ProcessMessages();
    // Handles one message, or runs hand-overs and waits for the next message when none waits.
    void HandleMessage();

    // The error report: a modal box with the error icon, captioned with the title.
    void ShowException(const std::exception& error);
    // Reports the exception being handled; call inside a catch block.
    void HandleException() noexcept;

    // Runs `method` on the user-interface thread and waits until it has run. On the
    // user-interface thread it runs at once. An exception it raises is raised again in the
    // calling thread.
    void Synchronize(const std::function<void()>& method);
    // Runs the queued hand-overs; user-interface thread only. True when any ran.
    bool CheckSynchronize();
    // Signalled while hand-overs wait (for waits that must keep running them).
    HANDLE SyncEvent() const noexcept { return syncEvent_.get(); }

    // Destroys the windows in reverse creation order (the end of the program).
    void DestroyForms();

    // True when `window` is one of the program's windows.
    bool IsFormWindow(HWND window) const noexcept;
    // Shows the application window (the taskbar button) exactly while a window is shown.
    void UpdateTaskbarButton();

    // Runs before the windows are destroyed when the session ends (stops worker threads
    // that reach into the windows).
    void SetOnBeforeEnd(std::function<void()> handler) { onBeforeEnd_ = std::move(handler); }

    // Test builds: makes the error report record instead of showing a box.
    std::function<void(const std::wstring& caption, const std::wstring& text)> ErrorReportHook;

private:
    struct SyncRequest;
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    void OnClose();
    void OnEndSession(bool ending);
    void Idle();
    void AddForm(TForm* form, std::function<void()> clearReference);

    std::wstring title_;
    DWORD mainThreadId_ = 0;
    bool terminated_ = false;
    std::vector<std::unique_ptr<TForm>> forms_;
    std::vector<std::function<void()>> formReferences_;  // each clears its window's reference
    TCriticalSection syncLock_;
    std::vector<SyncRequest*> syncQueue_;
    UniqueKernelHandle syncEvent_;
    std::function<void()> onBeforeEnd_;
};

extern TApplication* Application;

// Runs `body`, reporting any exception instead of letting it cross a Win32 frame.
template <typename Body>
void Guarded(Body&& body) noexcept
{
    try {
        body();
    } catch (...) {
        if (Application) Application->HandleException();
    }
}

template <typename T>
void TApplication::CreateForm(T*& reference)
{
    // Construct in place so that `reference` already points at the window while its
    // constructor runs.
    void* raw = ::operator new(sizeof(T));
    reference = static_cast<T*>(raw);
    T* created = nullptr;
    try {
        created = new (raw) T();
    } catch (...) {
        reference = nullptr;
        ::operator delete(raw);
        throw;
    }
    AddForm(created, [&reference] { reference = nullptr; });
    // The creation handler runs once the object is whole; its exceptions are reported there.
    created->AfterConstruction();
}

}  // namespace vantrel
