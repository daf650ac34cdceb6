// File handling by UTF-16 name through the Windows API and the C runtime's wide calls, so
// that names outside the ANSI code page work. Text files use the runtime's text mode, which
// stores every LF as CR LF.
#include "platform/Platform.h"

#include "platform/win32/WindowsSupport.h"

#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>

#include <cstdio>
#include <string>

FileKind GetFileKind(const QxChar* path) {
  const DWORD attributes = ::GetFileAttributesW(path);
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    const DWORD error = ::GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? FileKind::Missing
                                                                           : FileKind::Other;
  }
  if (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DEVICE)) {
    return FileKind::Other;
  }
  return FileKind::Regular;
}

std::FILE* OpenTextFileForWriting(const QxChar* path) { return ::_wfopen(path, L"w"); }

std::FILE* CreateTextFileBeside(const QxChar* target, QxString& tempPath) {
  for (unsigned attempt = 0; attempt < 16; ++attempt) {
    const std::wstring candidate = std::wstring(target) + L".~" +
                                   std::to_wstring(::GetCurrentProcessId()) + L"-" +
                                   std::to_wstring(::GetTickCount() + attempt) + L".tmp";
    const int fd = ::_wopen(candidate.c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_TEXT,
                            _S_IREAD | _S_IWRITE);
    if (fd < 0) {
      if (errno == EEXIST) continue;
      return nullptr;
    }
    std::FILE* file = ::_wfdopen(fd, L"w");
    if (file == nullptr) {
      ::_close(fd);
      ::_wremove(candidate.c_str());
      return nullptr;
    }
    tempPath = candidate;
    return file;
  }
  return nullptr;
}

bool CloseFile(std::FILE* file) {
  if (file == nullptr) return false;
  const bool flushed = std::fflush(file) == 0 && std::ferror(file) == 0;
  const bool closed = std::fclose(file) == 0;
  return flushed && closed;
}

std::FILE* OpenFileForReading(const QxChar* path) { return ::_wfopen(path, L"rb"); }

bool ReplaceFileWith(const QxChar* to, const QxChar* from) {
  return ::MoveFileExW(from, to, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

bool RemoveFile(const QxChar* path) { return ::DeleteFileW(path) != 0; }
