// A converter module for the writer's tests. Copied under a module name (CONV_PCX.DLL and
// so on), it writes into the target file what it was handed: its own name, the option
// block and the DIB's header, so a test can check all three. It counts its loads in the
// process's environment, as it does the name it was given, and fails on request: after
// writing half a file, or by reporting success without writing anything.
#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <string>

namespace {

char ownName[MAX_PATH];

std::size_t OptionBlockSize(const std::string& module) {
  if (module == "CONV_GIF.DLL") return 20;
  if (module == "CONV_TIF.DLL") return 16;
  if (module == "CONV_EPS.DLL") return 28;
  return 12;  // PCX and JPG
}

std::string Environment(const char* name) {
  char value[64];
  const DWORD length = GetEnvironmentVariableA(name, value, sizeof value);
  return length > 0 && length < sizeof value ? std::string(value, length) : "";
}

bool WriteWhole(const char* fileName, const std::string& bytes) {
  HANDLE file = CreateFileA(fileName, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD put = 0;
  const bool ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &put, nullptr) && put == bytes.size();
  return CloseHandle(file) && ok;
}

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    char path[MAX_PATH];
    const DWORD length = GetModuleFileNameA(instance, path, MAX_PATH);
    const char* base = std::strrchr(path, '\\');
    std::strcpy(ownName, length ? (base ? base + 1 : path) : "");
    CharUpperA(ownName);
    const int loads = std::atoi(Environment("KAMOLT_FAKE_LOADS").c_str()) + 1;
    SetEnvironmentVariableA("KAMOLT_FAKE_LOADS", std::to_string(loads).c_str());
  }
  return TRUE;
}

extern "C" HGLOBAL WINAPI FakeRead(const char*) { return reinterpret_cast<HGLOBAL>(static_cast<INT_PTR>(-1)); }

extern "C" INT32 WINAPI FakeWrite(const char* fileName, HGLOBAL dib, void* options) {
  SetEnvironmentVariableA("KAMOLT_FAKE_NAME", fileName);
  const std::string fail = Environment("KAMOLT_FAKE_FAIL");
  if (fail == "1") {
    WriteWhole(fileName, "HALF");
    return 0;
  }
  if (fail == "nothing") return 1;
  std::string record = std::string("FAKE ") + ownName + "\n";
  record.append(static_cast<const char*>(options), OptionBlockSize(ownName));
  const void* header = GlobalLock(dib);
  if (!header) return 0;
  record.append(static_cast<const char*>(header), 40);
  GlobalUnlock(dib);
  return WriteWhole(fileName, record) ? 1 : 0;
}
