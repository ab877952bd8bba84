// The hot-key and up-down window classes of the common controls, as a fresh
// process would have them: the host can forget them, and then only the
// plug-in's own InitCommonControlsEx call (its import goes through the host)
// brings back the classes that its flags ask for.
//
//   sim::InstallCommonControlsStub(plugin)   rewrites the plug-in's InitCommonControlsEx import;
//                                            the call is passed on
//   sim::ForgetCommonControlClasses(mode)    unregisters "msctls_hotkey32" and "msctls_updown32",
//                                            until the plug-in initialises them or (kForGood) until
//                                            the host is reset
//   sim::IsCommonControlRegistered(name)     a class of that name exists for comctl32
//   sim::ResetCommonControls()               registers the forgotten classes again
#pragma once

#include <windows.h>

#include <string>

namespace sim {

enum ForgetMode { kUntilInitialised, kForGood };

bool InstallCommonControlsStub(HMODULE plugin);
void ForgetCommonControlClasses(ForgetMode mode = kUntilInitialised);
bool IsCommonControlRegistered(const std::string& name);
void ResetCommonControls();

}  // namespace sim
