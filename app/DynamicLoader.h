#pragma once
// The one path to the platform functions that the program binds at run time.
//
// Each system module is a namespace of typed entries: plain function-pointer variables through
// which every call of that function goes, so a system that lacks one still starts. An entry
// gets its value in one of two ways, both through FindProcedure:
// - when its table loads (Find, FindLoaded), for the modules that are in every process
//   (kernel32, user32, ntdll, comctl32): a missing function is a null entry, which the caller
//   checks before it calls;
// - at its first call (FirstCallBinder), for the modules loaded on demand (WS2_32.DLL,
//   iphlpapi.dll, ...): the entry starts at a binder of exactly its own type that looks the
//   function up, stores it in the entry (later calls go straight to the platform) and forwards
//   the call. Where the function is missing the binder stores the entry's substitute, or the
//   look-up raises and the entry stays at its binder.
//
// The entries are also the one seam tests replace, for a scope (app/EntryOverride.h).

#include <windows.h>

#include <type_traits>

namespace vantrel {

// The address of `name` in `module`; nullptr when the module or the function is missing. The
// one place that asks the loader for a function.
FARPROC FindProcedure(HMODULE module, const char* name) noexcept;

template <typename Function>
Function ProcedureAs(FARPROC address) noexcept
{
    return reinterpret_cast<Function>(reinterpret_cast<void*>(address));
}

template <typename Function>
Function Find(HMODULE module, const char* name) noexcept
{
    return ProcedureAs<Function>(FindProcedure(module, name));
}

// For a module that is in every process: GetModuleHandle takes no reference and loads nothing.
template <typename Function>
Function FindLoaded(const wchar_t* module, const char* name) noexcept
{
    return Find<Function>(::GetModuleHandleW(module), name);
}

// The binder of one entry. `LookUp` finds `Name` in the entry's module (it may raise); where it
// finds nothing the entry takes `Substitute`, a function of the entry's type. An entry whose
// look-up raises on a missing function needs no substitute.
//
// The entries are stdcall platform functions, and the binder must be called exactly as the
// platform's function would be: the calling convention is part of the type matched here.
template <auto& Entry, const char* Name, FARPROC (*LookUp)(const char*), auto Substitute = nullptr,
          typename Function = std::remove_reference_t<decltype(Entry)>>
struct FirstCallBinder;

template <auto& Entry, const char* Name, FARPROC (*LookUp)(const char*), auto Substitute, typename Result,
          typename... Args>
struct FirstCallBinder<Entry, Name, LookUp, Substitute, Result(WINAPI*)(Args...)> {
    using Function = Result(WINAPI*)(Args...);

    static Result WINAPI Call(Args... args)
    {
        const FARPROC found = LookUp(Name);
        const Function function = found ? ProcedureAs<Function>(found) : static_cast<Function>(Substitute);
        Entry = function;
        return function(args...);
    }
};

}  // namespace vantrel
