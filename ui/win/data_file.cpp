#include "ui/win/data_file.h"

#include <windows.h>

#include "engine/mixer.h"
#include "ui/win/window_state.h"

namespace mixorama {

void ShowFileError(const char* name) {
  g_win.messageBox(nullptr, "File Error", name, MB_OK | MB_ICONHAND | MB_TASKMODAL, 0);
}

int OpenDataFile(const char* name, int write, const char* shownName) {
  CloseDataFile();
  const DWORD access = write != 0 ? GENERIC_READ | GENERIC_WRITE : GENERIC_READ;
  const DWORD creation = write != 0 ? CREATE_ALWAYS : OPEN_EXISTING;
  HANDLE file = CreateFileA(name, access, 0, nullptr, creation, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    ShowFileError(shownName != nullptr ? shownName : name);
    return 0;
  }
  g_win.dataFile = file;
  return 1;
}

int ReadExact(void* buffer, uint32_t count) {
  if (g_win.dataFile == nullptr) return 0;
  DWORD done = 0;
  if (!ReadFile(g_win.dataFile, buffer, count, &done, nullptr)) return 0;
  return done == count ? 1 : 0;
}

int WriteExact(const void* buffer, uint32_t count) {
  if (g_win.dataFile == nullptr) return 0;
  DWORD done = 0;
  if (!WriteFile(g_win.dataFile, buffer, count, &done, nullptr)) return 0;
  return done == count ? 1 : 0;
}

uint32_t DataFileSize() {
  if (g_win.dataFile == nullptr) return 0;
  DWORD high = 0;
  SetLastError(NO_ERROR);  // a size of 0xFFFFFFFF is told from a failure by the error code
  const DWORD low = GetFileSize(g_win.dataFile, &high);
  if (low == INVALID_FILE_SIZE && GetLastError() != NO_ERROR) return 0;
  return high != 0 ? 0 : low;
}

void CloseDataFile() {
  if (g_win.dataFile == nullptr) return;
  CloseHandle(g_win.dataFile);
  g_win.dataFile = nullptr;
}

std::string BesideProgram(const char* name) {
  char path[kPathBytes];
  const DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
  if (length == 0 || length >= sizeof path) return std::string();
  std::string full(path, length);
  full = full.substr(0, full.find_last_of("\\/") + 1) + name;
  return full.size() < static_cast<size_t>(kPathBytes) ? full : std::string();
}

bool FileExists(const char* name) {
  return GetFileAttributesA(name) != INVALID_FILE_ATTRIBUTES;
}

}  // namespace mixorama
