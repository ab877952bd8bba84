// Makes the plug-in's file calls fail on demand: its calls to the C
// runtime's fopen, fread, fwrite, fflush, ferror and fclose and to GetFileSize go
// through the host, like its other imports. Without a failure scripted they
// do what the system does.
//
//   sim::InstallFileStubs(plugin)   rewrites those imports; the names patched
//   sim::FailFileOpen()             the next fopen returns null
//   sim::FailFileWrite(n)           the n-th fwrite from now (1 = next) writes nothing and returns 0; ferror then
//                                   reports the error for that stream, as it does after a real failure
//   sim::FailFileRead(n)            the n-th fread from now reads nothing and returns 0; ferror then
//                                   reports an error on that file
//   sim::FailFileFlush()             the next fflush writes nothing and returns EOF, as the runtime's
//                                   does on a full disk
//   sim::FailFileClose()            the next fclose closes the file but returns EOF, as when its
//                                   buffered data cannot be written
//   sim::FileFailurePending()       a scripted failure has not happened yet
//   sim::ReportFileSize(low, high, error)
//                                   the next GetFileSize answers low (high part in *high) with
//                                   `error` as the thread's last error
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace sim {

std::vector<std::string> InstallFileStubs(HMODULE plugin);
void FailFileOpen();
void FailFileWrite(int nth);
void FailFileRead(int nth);
void FailFileFlush();
void FailFileClose();
void ReportFileSize(DWORD low, DWORD high, DWORD error);
bool FileFailurePending();

void ResetFileStubs();

}  // namespace sim
