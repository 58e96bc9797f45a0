// The data file and the file dialog's request record, without a display: the file error box
// goes to a recording stand-in, and no dialog is shown (the request record is checked as
// AskFileName would hand it over).
#include <gtest/gtest.h>
#include <windows.h>
// windows.h first: the common dialogs need its types.
#include <commdlg.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <ostream>
#include <string>
#include <vector>

#include "engine/mixer.h"
#include "ui/win/app.h"
#include "ui/win/data_file.h"
#include "ui/win/file_dialogs.h"

namespace mixorama {
namespace {

// ---- Files on disk, handled without the helpers under test ----

struct BoxCall {
  HWND owner;
  std::string text;
  std::string caption;
  UINT style;
  WORD language;
};

std::vector<BoxCall> g_boxes;

int WINAPI RecordBox(HWND owner, LPCSTR text, LPCSTR caption, UINT style, WORD language) {
  g_boxes.push_back({owner, text != nullptr ? text : "(null)",
                     caption != nullptr ? caption : "(null)", style, language});
  return IDOK;
}

// Bytes i + 1 from first on, so that a byte out of place shows.
std::string Ramp(size_t count, unsigned first) {
  std::string bytes(count, '\0');
  for (size_t i = 0; i < count; ++i) bytes[i] = static_cast<char>(first + i);
  return bytes;
}

void WriteRaw(const std::string& path, const std::string& bytes) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE) << path;
  DWORD done = 0;
  const BOOL ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &done, nullptr);
  CloseHandle(file);
  ASSERT_TRUE(ok && done == bytes.size()) << path;
}

std::string ReadRaw(const std::string& path) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return "(cannot open)";
  std::string bytes;
  char chunk[512];
  DWORD done = 0;
  while (ReadFile(file, chunk, sizeof chunk, &done, nullptr) && done != 0)
    bytes.append(chunk, done);
  CloseHandle(file);
  return bytes;
}

// True when nobody else holds the file: it can be opened with no sharing at all.
bool OpenableExclusively(const std::string& path) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                            0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  CloseHandle(file);
  return true;
}

bool Exists(const std::string& path) {
  return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string TempBase() {
  char temp[MAX_PATH];
  const DWORD length = GetTempPathA(sizeof temp, temp);
  if (length == 0 || length >= sizeof temp) return "C:\\";
  return temp;
}

// A folder of its own for every test, emptied and removed afterwards.
class DataFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    static int serial = 0;
    folder_ = TempBase() + "mixorama_fh_" + std::to_string(GetCurrentProcessId()) + "_" +
              std::to_string(++serial);
    ASSERT_TRUE(CreateDirectoryA(folder_.c_str(), nullptr)) << folder_;
    g_boxes.clear();
    SetFileErrorBoxCall(RecordBox);
  }

  void TearDown() override {
    CloseDataFile();
    SetFileErrorBoxCall(nullptr);
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder_ + "\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
      do {
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) continue;
        const std::string path = Path(found.cFileName);
        SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileA(path.c_str());
      } while (FindNextFileA(search, &found));
      FindClose(search);
    }
    RemoveDirectoryA(folder_.c_str());
  }

  std::string Path(const char* leaf) const { return folder_ + "\\" + leaf; }

  std::string folder_;
};

TEST_F(DataFileTest, WrittenBytesReadBackInExactAmounts) {
  const std::string path = Path("setup.st");
  const std::string first = Ramp(100, 1);
  const std::string second = Ramp(37, 101);

  ASSERT_EQ(OpenDataFile(path.c_str(), 1), 1);
  EXPECT_EQ(DataFileSize(), 0u);
  EXPECT_EQ(WriteExact(first.data(), 100), 1);
  EXPECT_EQ(WriteExact(second.data(), 37), 1);
  EXPECT_EQ(DataFileSize(), 137u);
  CloseDataFile();
  EXPECT_EQ(ReadRaw(path), first + second);

  ASSERT_EQ(OpenDataFile(path.c_str(), 0), 1);
  EXPECT_EQ(DataFileSize(), 137u);
  std::string back(137, '\0');
  // In other pieces than written: the position carries over from one read to the next.
  EXPECT_EQ(ReadExact(&back[0], 60), 1);
  EXPECT_EQ(ReadExact(&back[60], 77), 1);
  EXPECT_EQ(back, first + second);
  // Nothing is left: even one byte more is a short read.
  char extra = 0;
  EXPECT_EQ(ReadExact(&extra, 1), 0);
  EXPECT_TRUE(g_boxes.empty());
}

TEST_F(DataFileTest, ShortReadFailsQuietlyAndKeepsTheFileOpen) {
  const std::string path = Path("short.st");
  WriteRaw(path, Ramp(10, 1));

  ASSERT_EQ(OpenDataFile(path.c_str(), 0), 1);
  char buffer[32] = {};
  EXPECT_EQ(ReadExact(buffer, 4), 1);
  // Six bytes remain: asking for twenty gets those six, which is not the amount asked.
  EXPECT_EQ(ReadExact(buffer, 20), 0);
  EXPECT_EQ(std::string(buffer, 6), Ramp(6, 5));
  EXPECT_TRUE(g_boxes.empty());
  // Still open: its size is known and nobody else may open it.
  EXPECT_EQ(DataFileSize(), 10u);
  EXPECT_FALSE(OpenableExclusively(path));
  CloseDataFile();
  EXPECT_TRUE(OpenableExclusively(path));
}

TEST_F(DataFileTest, ShortReadLeavesTheFileUsable) {
  const std::string path = Path("grow.st");
  ASSERT_EQ(OpenDataFile(path.c_str(), 1), 1);
  ASSERT_EQ(WriteExact(Ramp(10, 1).data(), 10), 1);
  // At the end: nothing to read, so any read is short.
  char buffer[4] = {};
  EXPECT_EQ(ReadExact(buffer, 4), 0);
  EXPECT_EQ(ReadExact(buffer, 0), 1);  // nothing asked, nothing missing
  // The same file goes on taking writes where it was.
  EXPECT_EQ(WriteExact(Ramp(5, 11).data(), 5), 1);
  EXPECT_EQ(DataFileSize(), 15u);
  CloseDataFile();
  EXPECT_EQ(ReadRaw(path), Ramp(15, 1));
  EXPECT_TRUE(g_boxes.empty());
}

TEST_F(DataFileTest, OpeningASecondFileClosesTheFirst) {
  const std::string first = Path("first.st");
  const std::string second = Path("second.st");
  WriteRaw(first, Ramp(5, 1));
  WriteRaw(second, Ramp(9, 50));

  ASSERT_EQ(OpenDataFile(first.c_str(), 0), 1);
  EXPECT_FALSE(OpenableExclusively(first));
  ASSERT_EQ(OpenDataFile(second.c_str(), 0), 1);
  EXPECT_TRUE(OpenableExclusively(first));
  EXPECT_TRUE(DeleteFileA(first.c_str()));
  EXPECT_FALSE(OpenableExclusively(second));
  // Reads come from the second file, from its start.
  EXPECT_EQ(DataFileSize(), 9u);
  char buffer[9] = {};
  EXPECT_EQ(ReadExact(buffer, 9), 1);
  EXPECT_EQ(std::string(buffer, 9), Ramp(9, 50));
  EXPECT_TRUE(g_boxes.empty());
}

TEST_F(DataFileTest, ReadOnlyFileOpensForReading) {
  const std::string path = Path("locked.st");
  const std::string content = Ramp(12, 7);
  WriteRaw(path, content);
  ASSERT_TRUE(SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_READONLY));

  ASSERT_EQ(OpenDataFile(path.c_str(), 0), 1);
  EXPECT_TRUE(g_boxes.empty());
  char buffer[12] = {};
  EXPECT_EQ(ReadExact(buffer, 12), 1);
  EXPECT_EQ(std::string(buffer, 12), content);
  // Opened for reading only: a write is refused without a message and changes nothing.
  EXPECT_EQ(WriteExact("x", 1), 0);
  EXPECT_TRUE(g_boxes.empty());
  CloseDataFile();
  EXPECT_EQ(ReadRaw(path), content);
}

TEST_F(DataFileTest, MissingFileShowsTheFileErrorBoxAndLeavesNoFileOpen) {
  const std::string held = Path("held.st");
  const std::string missing = Path("missing.st");
  WriteRaw(held, Ramp(4, 1));
  ASSERT_EQ(OpenDataFile(held.c_str(), 0), 1);

  EXPECT_EQ(OpenDataFile(missing.c_str(), 0), 0);
  ASSERT_EQ(g_boxes.size(), 1u);
  EXPECT_EQ(g_boxes[0].owner, nullptr);
  EXPECT_EQ(g_boxes[0].text, "File Error");
  EXPECT_EQ(g_boxes[0].caption, missing);
  EXPECT_EQ(g_boxes[0].style, 0x2010u);  // MB_OK | MB_ICONHAND | MB_TASKMODAL
  EXPECT_EQ(g_boxes[0].language, 0);
  EXPECT_FALSE(Exists(missing));  // reading never creates

  // The file open before is closed, and there is no data file now.
  EXPECT_TRUE(OpenableExclusively(held));
  char buffer[4] = {};
  EXPECT_EQ(ReadExact(buffer, 1), 0);
  EXPECT_EQ(WriteExact(buffer, 1), 0);
  EXPECT_EQ(DataFileSize(), 0u);
  EXPECT_EQ(g_boxes.size(), 1u);
}

TEST_F(DataFileTest, FailedOpenNamesTheShownNameWhenGiven) {
  const std::string inMissingFolder = Path("no such folder\\new.st");
  EXPECT_EQ(OpenDataFile(inMissingFolder.c_str(), 1, "C:\\setups\\chosen.st"), 0);
  ASSERT_EQ(g_boxes.size(), 1u);
  EXPECT_EQ(g_boxes[0].text, "File Error");
  EXPECT_EQ(g_boxes[0].caption, "C:\\setups\\chosen.st");
  EXPECT_EQ(DataFileSize(), 0u);
}

TEST_F(DataFileTest, FileInUseCannotBeOpened) {
  const std::string path = Path("busy.st");
  WriteRaw(path, Ramp(3, 1));
  HANDLE other = CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(other, INVALID_HANDLE_VALUE);
  EXPECT_EQ(OpenDataFile(path.c_str(), 0), 0);
  CloseHandle(other);
  ASSERT_EQ(g_boxes.size(), 1u);
  EXPECT_EQ(g_boxes[0].caption, path);
}

TEST_F(DataFileTest, WriteModeReplacesTheContent) {
  const std::string path = Path("again.st");
  WriteRaw(path, Ramp(50, 1));

  ASSERT_EQ(OpenDataFile(path.c_str(), 1), 1);
  // Emptied on opening, before anything is written.
  EXPECT_EQ(DataFileSize(), 0u);
  EXPECT_EQ(WriteExact("short", 5), 1);
  CloseDataFile();
  EXPECT_EQ(ReadRaw(path), "short");
  EXPECT_TRUE(g_boxes.empty());
}

TEST_F(DataFileTest, ClosingTwiceIsHarmless) {
  CloseDataFile();  // nothing open yet
  const std::string path = Path("twice.st");
  WriteRaw(path, Ramp(6, 1));
  ASSERT_EQ(OpenDataFile(path.c_str(), 0), 1);
  CloseDataFile();
  // A handle made now may well take the old one's value: a second close must not touch it.
  const std::string other = Path("other.st");
  WriteRaw(other, Ramp(3, 1));
  HANDLE raw = CreateFileA(other.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(raw, INVALID_HANDLE_VALUE);
  CloseDataFile();
  char probe[3] = {};
  DWORD done = 0;
  EXPECT_TRUE(ReadFile(raw, probe, 3, &done, nullptr) && done == 3);
  CloseHandle(raw);
  EXPECT_TRUE(OpenableExclusively(path));
  char buffer[6] = {};
  EXPECT_EQ(ReadExact(buffer, 1), 0);
  EXPECT_EQ(DataFileSize(), 0u);
  // The helpers work as before afterwards.
  ASSERT_EQ(OpenDataFile(path.c_str(), 0), 1);
  EXPECT_EQ(ReadExact(buffer, 6), 1);
  EXPECT_EQ(std::string(buffer, 6), Ramp(6, 1));
  EXPECT_TRUE(g_boxes.empty());
}

// ---- The dialog's request record ----

// The filter block up to and including the zero byte that closes it.
std::string FilterBlock(const char* filter) {
  size_t length = 0;
  while (filter[length] != '\0' || filter[length + 1] != '\0') ++length;
  return std::string(filter, length + 2);
}

template <size_t N>
std::string Bytes(const char (&literal)[N]) {
  return std::string(literal, N - 1);  // without the literal's own closing zero
}

struct RequestCase {
  const char* label;
  FileKind kind;
  int save;
  std::string filter;
  const char* title;
  const char* defaultExtension;
  const char* nameAfter;  // the name field handed to the dialog
  DWORD flags;
};

// Names the case in failure messages.
void PrintTo(const RequestCase& c, std::ostream* os) {
  *os << c.label;
}

const char kCallerName[] = "C:\\setups\\last.st";

std::vector<RequestCase> RequestCases() {
  const std::string wave = Bytes("All files (*.*)\0*.*\0Wave files (*.WAV)\0*.WAV\0\0");
  const std::string setup = Bytes("All files (*.*)\0*.*\0Setup files (*.ST)\0*.ST\0\0");
  return {
      {"OpenWave", FileKind::kWave, 0, wave, "Open Wave", "WAV", "*.WAV", 0x804},
      {"SaveWave", FileKind::kWave, 1, wave, "Save Wave", "WAV", kCallerName,
       0x804 | OFN_OVERWRITEPROMPT},
      {"OpenSetup", FileKind::kSetup, 0, setup, "Open Setup", "ST", "*.ST", 0x804},
      {"SaveSetup", FileKind::kSetup, 1, setup, "Save Setup", "ST", kCallerName,
       0x804 | OFN_OVERWRITEPROMPT},
  };
}

class FileRequestTest : public ::testing::TestWithParam<RequestCase> {
 protected:
  void SetUp() override {
    savedPanel_ = g_panelWindow;
    g_panelWindow = panel_;
  }
  void TearDown() override { g_panelWindow = savedPanel_; }

  // The record as filled over a record, name and title full of leftovers.
  OPENFILENAMEA Fill(const char* initialDir) {
    OPENFILENAMEA request;
    std::memset(&request, 0xAB, sizeof request);
    std::memset(name_, 'n', sizeof name_);
    std::strcpy(name_, kCallerName);
    std::memset(fileTitle_, 't', sizeof fileTitle_);
    FillFileRequest(request, name_, fileTitle_, initialDir, GetParam().save, GetParam().kind);
    return request;
  }

  HWND savedPanel_ = nullptr;
  HWND panel_ = reinterpret_cast<HWND>(static_cast<uintptr_t>(0x4D58));
  char name_[kPathBytes];
  char fileTitle_[kPathBytes];
};

TEST_P(FileRequestTest, NamedFieldsHoldTheKindsValues) {
  const RequestCase& c = GetParam();
  char initialDir[kPathBytes] = "C:\\music\\loops";
  const OPENFILENAMEA request = Fill(initialDir);

  EXPECT_EQ(request.lStructSize, 76u);
  EXPECT_EQ(request.hwndOwner, panel_);
  ASSERT_NE(request.lpstrFilter, nullptr);
  EXPECT_EQ(FilterBlock(request.lpstrFilter), c.filter);
  EXPECT_EQ(request.nFilterIndex, 2u);
  EXPECT_EQ(request.lpstrFile, name_);
  EXPECT_STREQ(name_, c.nameAfter);
  EXPECT_EQ(request.nMaxFile, 260u);
  EXPECT_EQ(request.lpstrFileTitle, fileTitle_);
  EXPECT_EQ(fileTitle_[0], '\0');
  EXPECT_EQ(request.nMaxFileTitle, 260u);
  EXPECT_EQ(request.lpstrInitialDir, initialDir);
  EXPECT_STREQ(request.lpstrTitle, c.title);
  EXPECT_EQ(request.Flags, c.flags);
  EXPECT_STREQ(request.lpstrDefExt, c.defaultExtension);
}

TEST_P(FileRequestTest, EveryOtherByteIsZero) {
  OPENFILENAMEA request = Fill("C:\\music");
  // Blank out the fields given values above; what remains, past the 76 bytes included, must
  // have been cleared.
  request.lStructSize = 0;
  request.hwndOwner = nullptr;
  request.lpstrFilter = nullptr;
  request.nFilterIndex = 0;
  request.lpstrFile = nullptr;
  request.nMaxFile = 0;
  request.lpstrFileTitle = nullptr;
  request.nMaxFileTitle = 0;
  request.lpstrInitialDir = nullptr;
  request.lpstrTitle = nullptr;
  request.Flags = 0;
  request.lpstrDefExt = nullptr;
  const unsigned char* bytes = reinterpret_cast<const unsigned char*>(&request);
  for (size_t i = 0; i < sizeof request; ++i) EXPECT_EQ(bytes[i], 0u) << "byte " << i;
}

TEST_P(FileRequestTest, NoStartingFolderIsPassedOnAsNone) {
  const OPENFILENAMEA request = Fill(nullptr);
  EXPECT_EQ(request.lpstrInitialDir, nullptr);
}

INSTANTIATE_TEST_SUITE_P(Kinds, FileRequestTest, ::testing::ValuesIn(RequestCases()),
                         [](const ::testing::TestParamInfo<RequestCase>& param) {
                           return std::string(param.param.label);
                         });

// ---- The starting folder ----

// Works in a folder tree under the temporary folder whose deepest folder path has an exact
// length, made and removed through the long-path form (a path over 259 characters cannot be
// made otherwise); the current directory is put back afterwards.
class InitialDirTest : public ::testing::Test {
 protected:
  void SetUp() override {
    GetCurrentDirectoryW(MAX_PATH, savedDir_);
    base_ = TempBase() + "mixorama_dir_" + std::to_string(GetCurrentProcessId());
    ASSERT_TRUE(CreateDirectoryW(Long(base_).c_str(), nullptr));
  }

  void TearDown() override {
    SetCurrentDirectoryW(savedDir_);
    for (const std::string& folder : made_) RemoveDirectoryW(Long(folder).c_str());
    RemoveDirectoryW(Long(base_).c_str());
  }

  static std::wstring Long(const std::string& path) {
    return L"\\\\?\\" + std::wstring(path.begin(), path.end());
  }

  // Makes base\qqq... with the length given (one folder name holds at most 255 characters),
  // makes it the current directory and returns it.
  std::string EnterFolderOfLength(size_t length) {
    const std::string folder = base_ + "\\" + std::string(length - base_.size() - 1, 'q');
    EXPECT_EQ(folder.size(), length);
    if (!CreateDirectoryW(Long(folder).c_str(), nullptr)) {
      ADD_FAILURE() << "cannot make a folder of " << length << " characters";
    }
    made_.push_back(folder);
    if (!SetCurrentDirectoryA(folder.c_str()) && !SetCurrentDirectoryW(Long(folder).c_str())) {
      ADD_FAILURE() << "cannot enter a folder of " << length << " characters";
    }
    return folder;
  }

  wchar_t savedDir_[MAX_PATH] = {};
  std::string base_;
  std::vector<std::string> made_;
};

TEST_F(InitialDirTest, CurrentDirectoryUpTo259CharactersIsTheStartingFolder) {
  ASSERT_LT(base_.size(), 200u) << "the temporary folder is too deep for this test";
  for (size_t length : {base_.size() + 2, size_t{258}, size_t{259}}) {
    const std::string folder = EnterFolderOfLength(length);
    char dir[kPathBytes];
    std::memset(dir, 'x', sizeof dir);
    const char* start = ReadInitialDir(dir);
    EXPECT_EQ(start, dir) << length;
    EXPECT_EQ(std::string(dir), folder) << length;
  }
}

TEST_F(InitialDirTest, LongerCurrentDirectoryGivesNoStartingFolder) {
  ASSERT_LT(base_.size(), 200u) << "the temporary folder is too deep for this test";
  for (size_t length : {size_t{260}, size_t{261}, size_t{280}}) {
    EnterFolderOfLength(length);
    char dir[kPathBytes];
    EXPECT_EQ(ReadInitialDir(dir), nullptr) << length;
  }
}

}  // namespace
}  // namespace mixorama
