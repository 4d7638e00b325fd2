#include "convert/child_process_win.h"

#include <algorithm>
#include <limits>
#include <vector>

#include "win/handles_win.h"

namespace kamolt {

ChildOutcome RunHiddenAndWait(const std::string& commandLine, DWORD limitMs) {
  // A job holds the whole tree: the interpreter's "start /WAIT" runs the real worker as a
  // grandchild, which ending the interpreter alone would leave running.
  const win::KernelObject job(CreateJobObjectA(nullptr, nullptr));
  if (job) {
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    SetInformationJobObject(job.Get(), JobObjectExtendedLimitInformation, &limits, sizeof limits);
  }

  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = SW_HIDE;
  PROCESS_INFORMATION started{};
  std::vector<char> line(commandLine.begin(), commandLine.end());
  line.push_back('\0');  // CreateProcessA may write into its command line
  // Suspended until it is in the job, so nothing it starts can escape it.
  if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, CREATE_SUSPENDED, nullptr, nullptr, &startup,
                      &started)) {
    return {};
  }
  const win::KernelObject process(started.hProcess);
  const win::KernelObject thread(started.hThread);
  const bool inJob = job && AssignProcessToJobObject(job.Get(), process.Get());
  ResumeThread(thread.Get());

  if (WaitForSingleObject(process.Get(), limitMs) == WAIT_OBJECT_0) {
    ChildOutcome outcome{ChildEnd::Ended, 1};
    GetExitCodeProcess(process.Get(), &outcome.exitCode);
    return outcome;
  }
  if (inJob) TerminateJobObject(job.Get(), 1);
  TerminateProcess(process.Get(), 1);
  WaitForSingleObject(process.Get(), INFINITE);
  return {ChildEnd::TimedOut, 1};
}

DWORD WorkLimitMs(std::uint64_t bytes, DWORD baseMs, std::uint64_t bytesPerSecond) {
  const std::uint64_t limit = baseMs + bytes / std::max<std::uint64_t>(bytesPerSecond, 1) * 1000;
  // INFINITE is the largest DWORD: a limit must stay below it.
  return static_cast<DWORD>(std::min<std::uint64_t>(limit, std::numeric_limits<DWORD>::max() - 1));
}

}  // namespace kamolt
