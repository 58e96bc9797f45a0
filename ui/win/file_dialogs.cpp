#include "ui/win/file_dialogs.h"

#include <windows.h>
// windows.h first: the common dialogs need its types.
#include <commdlg.h>

#include <cstddef>
#include <cstring>

#include "engine/mixer.h"
#include "ui/win/app.h"

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

int AskFileName(char* name, int save, FileKind kind) {
  const KindTexts& texts = kind == FileKind::kWave ? kWaveTexts : kSetupTexts;
  HWND panel = g_panelWindow;
  EnableWindow(panel, FALSE);

  char initialDir[kPathBytes];
  const DWORD dirLength = GetCurrentDirectoryA(sizeof initialDir, initialDir);
  // 0 is a failure; a value of the buffer size or more is the size a longer path would need.
  const bool haveDir = dirLength != 0 && dirLength < sizeof initialDir;

  if (save == 0) std::strcpy(name, texts.openName);

  char fileTitle[kPathBytes];
  fileTitle[0] = '\0';
  OPENFILENAMEA request;
  std::memset(&request, 0, sizeof request);
  request.lStructSize = kRequestBytes;
  request.hwndOwner = panel;
  request.lpstrFilter = texts.filter;
  request.nFilterIndex = 2;
  request.lpstrFile = name;
  request.nMaxFile = kPathBytes;
  request.lpstrFileTitle = fileTitle;
  request.nMaxFileTitle = sizeof fileTitle;
  request.lpstrInitialDir = haveDir ? initialDir : nullptr;
  request.lpstrTitle = save == 0 ? texts.openTitle : texts.saveTitle;
  request.Flags = OFN_PATHMUSTEXIST | OFN_HIDEREADONLY;
  // Replacing a file the user did not mean to lose deserves a question.
  if (save != 0) request.Flags |= OFN_OVERWRITEPROMPT;
  request.lpstrDefExt = texts.defaultExtension;

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
