// File handling by UTF-16 name without Windows. Names are converted to UTF-8, the narrow
// encoding that fopen expects here. POSIX has no text mode, so text files get a stream
// that stores every LF as CR LF, as the Windows C runtime does.
#include "platform/Platform.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>

namespace {

std::string NarrowName(const QxChar* path) {
  if (path == nullptr) return {};
  const int size = WideToCodePage(CodePage::Ansi, path, nullptr, 0);
  if (size <= 1) return {};
  std::string name(static_cast<size_t>(size), '\0');
  WideToCodePage(CodePage::Ansi, path, name.data(), size);
  name.resize(static_cast<size_t>(size) - 1);
  return name;
}

bool WriteAll(int fd, const char* data, size_t size) {
  while (size > 0) {
    const ssize_t written = ::write(fd, data, size);
    if (written < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data += written;
    size -= static_cast<size_t>(written);
  }
  return true;
}

struct CrLfSink {
  int fd;
  bool failed;
  size_t used = 0;
  // Room for a full stream buffer with every byte a LF; in the sink, not on the stack, as
  // saves run deep in the host's stack.
  char chunk[2 * BUFSIZ];
};

bool Flush(CrLfSink& sink) {
  if (!sink.failed && !WriteAll(sink.fd, sink.chunk, sink.used)) sink.failed = true;
  sink.used = 0;
  return !sink.failed;
}

bool Put(CrLfSink& sink, const char* data, size_t size) {
  while (size > 0 && !sink.failed) {
    if (sink.used == sizeof sink.chunk && !Flush(sink)) break;
    const size_t part = std::min(size, sizeof sink.chunk - sink.used);
    std::memcpy(sink.chunk + sink.used, data, part);
    sink.used += part;
    data += part;
    size -= part;
  }
  return !sink.failed;
}

// Runs without LF are copied as they are; each LF becomes CR LF.
ssize_t CrLfWrite(void* cookie, const char* data, size_t size) {
  auto& sink = *static_cast<CrLfSink*>(cookie);
  const char* const end = data + size;
  for (const char* run = data; run < end;) {
    const auto* lf = static_cast<const char*>(
        std::memchr(run, '\n', static_cast<size_t>(end - run)));
    if (lf == nullptr) {
      Put(sink, run, static_cast<size_t>(end - run));
      break;
    }
    if (!Put(sink, run, static_cast<size_t>(lf - run)) || !Put(sink, "\r\n", 2)) break;
    run = lf + 1;
  }
  // The stream's own buffer holds the data until now, so ours need not outlive the call.
  if (!Flush(sink)) {
    errno = errno ? errno : EIO;
    return -1;
  }
  return static_cast<ssize_t>(size);
}

int CrLfClose(void* cookie) {
  auto* sink = static_cast<CrLfSink*>(cookie);
  const bool ok = !sink->failed && ::close(sink->fd) == 0;
  if (sink->failed) ::close(sink->fd);
  delete sink;
  return ok ? 0 : -1;
}

std::FILE* CrLfStream(int fd) {
  if (fd < 0) return nullptr;
  auto* sink = new CrLfSink;
  sink->fd = fd;
  sink->failed = false;
  cookie_io_functions_t functions{};
  functions.write = CrLfWrite;
  functions.close = CrLfClose;
  std::FILE* file = fopencookie(sink, "w", functions);
  if (file == nullptr) {
    ::close(fd);
    delete sink;
    return nullptr;
  }
  return file;
}

}  // namespace

FileKind GetFileKind(const QxChar* path) {
  struct stat info {};
  if (::lstat(NarrowName(path).c_str(), &info) != 0) {
    return errno == ENOENT ? FileKind::Missing : FileKind::Other;
  }
  return S_ISREG(info.st_mode) ? FileKind::Regular : FileKind::Other;
}

std::FILE* OpenTextFileForWriting(const QxChar* path) {
  const std::string name = NarrowName(path);
  if (name.empty()) return nullptr;
  return CrLfStream(::open(name.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666));
}

std::FILE* CreateTextFileBeside(const QxChar* target, QxString& tempPath) {
  const std::string name = NarrowName(target);
  if (name.empty()) return nullptr;
  struct stat targetInfo {};
  const bool targetExists = ::stat(name.c_str(), &targetInfo) == 0;
  std::random_device seed;
  std::mt19937 random(seed());
  for (int attempt = 0; attempt < 16; ++attempt) {
    const std::string suffix = ".~" + std::to_string(random() % 1000000000u) + ".tmp";
    const std::string tempName = name + suffix;
    const int fd = ::open(tempName.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) {
      if (errno == EEXIST) continue;
      return nullptr;
    }
    if (targetExists) ::fchmod(fd, targetInfo.st_mode & 07777);
    tempPath = target;
    tempPath.append(suffix.begin(), suffix.end());  // ASCII only
    return CrLfStream(fd);
  }
  return nullptr;
}

bool CloseFile(std::FILE* file) {
  if (file == nullptr) return false;
  const bool flushed = std::fflush(file) == 0 && std::ferror(file) == 0;
  const bool closed = std::fclose(file) == 0;
  return flushed && closed;
}

std::FILE* OpenFileForReading(const QxChar* path) {
  const std::string name = NarrowName(path);
  if (name.empty()) return nullptr;
  return std::fopen(name.c_str(), "rbe");
}

bool ReplaceFileWith(const QxChar* to, const QxChar* from) {
  return std::rename(NarrowName(from).c_str(), NarrowName(to).c_str()) == 0;
}

bool RemoveFile(const QxChar* path) { return ::unlink(NarrowName(path).c_str()) == 0; }
