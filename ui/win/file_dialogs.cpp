#include "ui/win/file_dialogs.h"

#include <cstddef>
#include <cstring>

#include "engine/mixer.h"
#include "ui/win/window_state.h"

namespace mixorama {

namespace {

// The request record in its original 76-byte form, which every version of the common dialogs
// accepts (the longer form adds only reserved fields and FlagsEx).
constexpr DWORD kRequestBytes = 76;
static_assert(offsetof(OPENFILENAMEA, lpTemplateName) + sizeof(LPCSTR) == kRequestBytes,
              "the 76-byte form ends with lpTemplateName");

struct KindTexts {
  // Display text and pattern pairs, each zero-terminated, closed by an extra zero byte.
  const char* filter;
  const char* openTitle;
  const char* saveTitle;
  const char* defaultExtension;
  const char* openName;  // placed in the name field before an open dialog
};

// String literals carry one closing zero of their own: together with the last explicit one
// the block ends in the two zero bytes the dialog looks for.
const KindTexts kWaveTexts = {"All files (*.*)\0*.*\0Wave files (*.WAV)\0*.WAV\0", "Open Wave",
                              "Save Wave", "WAV", "*.WAV"};
const KindTexts kSetupTexts = {"All files (*.*)\0*.*\0Setup files (*.ST)\0*.ST\0", "Open Setup",
                               "Save Setup", "ST", "*.ST"};

}  // namespace

const char* ReadInitialDir(char* dir) {
  const DWORD length = GetCurrentDirectoryA(kPathBytes, dir);
  // 0 is a failure; a value of the buffer size or more is the size a longer path would need.
  return length != 0 && length < static_cast<DWORD>(kPathBytes) ? dir : nullptr;
}

void FillFileRequest(OPENFILENAMEA& request, char* name, char* fileTitle, const char* initialDir,
                     int save, FileKind kind) {
  const KindTexts& texts = kind == FileKind::kWave ? kWaveTexts : kSetupTexts;
  if (save == 0) std::strcpy(name, texts.openName);

  fileTitle[0] = '\0';
  std::memset(&request, 0, sizeof request);
  request.lStructSize = kRequestBytes;
  request.hwndOwner = PanelWindow();
  request.lpstrFilter = texts.filter;
  request.nFilterIndex = 2;
  request.lpstrFile = name;
  request.nMaxFile = kPathBytes;
  request.lpstrFileTitle = fileTitle;
  request.nMaxFileTitle = kPathBytes;
  request.lpstrInitialDir = initialDir;
  request.lpstrTitle = save == 0 ? texts.openTitle : texts.saveTitle;
  request.Flags = OFN_PATHMUSTEXIST | OFN_HIDEREADONLY;
  // Replacing a file the user did not mean to lose deserves a question.
  if (save != 0) request.Flags |= OFN_OVERWRITEPROMPT;
  request.lpstrDefExt = texts.defaultExtension;
}

int AskFileName(char* name, int save, FileKind kind) {
  HWND panel = PanelWindow();
  EnableWindow(panel, FALSE);

  char initialDir[kPathBytes];
  const char* startFolder = ReadInitialDir(initialDir);

  char fileTitle[kPathBytes];
  OPENFILENAMEA request;
  FillFileRequest(request, name, fileTitle, startFolder, save, kind);

  const BOOL chosen = save == 0 ? GetOpenFileNameA(&request) : GetSaveFileNameA(&request);
  int result = 1;
  if (!chosen) {
    name[0] = '\0';
    result = 0;
  }
  EnableWindow(panel, TRUE);
  return result;
}

}  // namespace mixorama
