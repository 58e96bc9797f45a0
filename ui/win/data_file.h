// The data file (WinState::dataFile): one file at a time, opened by name, read or written in
// exact amounts. Used for setup files. GUI thread only.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

namespace mixorama {

// Opens name as the data file, closing one still open first. write 0 opens an existing file
// for reading (read access only, so a read-only file or medium is fine); write 1 creates the
// file, replacing one of that name. On failure shows the file error box (text "File Error",
// caption shownName, or name when shownName is null) and returns 0 with no data file open.
int OpenDataFile(const char* name, int write, const char* shownName = nullptr);

// One read of count bytes at the data file's position into buffer. 1 exactly when count
// bytes were read; no message either way, and the file stays open.
int ReadExact(void* buffer, uint32_t count);

// One write of count bytes at the data file's position. 1 exactly when count bytes were
// written; no message either way, and the file stays open.
int WriteExact(const void* buffer, uint32_t count);

// The data file's size in bytes; 0 when no file is open or the size is 4 GiB or more.
uint32_t DataFileSize();

// The file error box: "File Error" with the file name as caption, no owner window, task-modal.
void ShowFileError(const char* name);

// Closes the data file, if one is open, and forgets it.
void CloseDataFile();

// The full path of the file name in the program's own folder (beside mixorama.exe), or an
// empty string when that path is 260 characters or longer.
std::string BesideProgram(const char* name);

// Whether a file or folder of that name exists. No message.
bool FileExists(const char* name);

}  // namespace mixorama
