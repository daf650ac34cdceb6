// The stand-in file dialogs: the responder types, the rules of the real dialog decide.
#include "platform/posix/CommDlg.h"

#include "platform/Platform.h"

#include <sys/stat.h>
#include <unistd.h>

#include <string>

namespace {

DialogResponder* activeResponder = nullptr;

// A responder that keeps answering after refusals must not hang the host.
constexpr int kMaxAttempts = 100;

std::string FolderOf(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

std::string NameOf(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool IsFolder(const std::string& path) {
  struct stat status {};
  return ::stat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
}

std::string Absolute(const std::string& path) {
  if (!path.empty() && path[0] == '/') return path;
  char* cwd = ::getcwd(nullptr, 0);
  std::string result = cwd != nullptr ? std::string(cwd) + "/" + path : path;
  ::free(cwd);
  return result;
}

int ShowDialog(OPENFILENAMEW* request, bool save) {
  if (request == nullptr || request->lpstrFile == nullptr || request->nMaxFile == 0) return 0;
  for (int attempt = 0; attempt < kMaxAttempts && activeResponder != nullptr; ++attempt) {
    std::optional<std::string> typed = activeResponder->Ask(*request, save);
    if (!typed) return 0;
    if (typed->empty()) continue;
    std::string path = Absolute(*typed);
    const std::string name = NameOf(path);
    // A folder's name is no file name: the extension must not turn it into one beside it.
    if (name.empty() || IsFolder(path)) {
      activeResponder->Refuse(path + ": is a folder. Type a file name.");
      continue;
    }
    const std::string defaultExtension = ToUtf8(request->lpstrDefExt);
    if (!defaultExtension.empty() && name.find('.') == std::string::npos) {
      path += "." + defaultExtension;
    }

    const bool folderExists = IsFolder(FolderOf(path));
    struct stat file {};
    const bool exists = ::stat(path.c_str(), &file) == 0;
    if (exists && S_ISDIR(file.st_mode)) {
      activeResponder->Refuse(path + ": is a folder. Type a file name.");
      continue;
    }
    if ((request->Flags & OFN_PATHMUSTEXIST) && !folderExists) {
      activeResponder->Refuse(path + ": Path does not exist. Check the path and try again.");
      continue;
    }
    if ((request->Flags & OFN_FILEMUSTEXIST) && !exists) {
      activeResponder->Refuse(name + ": File not found. Check the file name and try again.");
      continue;
    }
    // The owner's write bit stands for the Windows read-only attribute: access() would
    // let root write anything.
    if ((request->Flags & OFN_NOREADONLYRETURN) && exists && (file.st_mode & S_IWUSR) == 0) {
      activeResponder->Refuse(name +
                              ": This file is set to read-only. Try again with a different file name.");
      continue;
    }
    if ((request->Flags & OFN_OVERWRITEPROMPT) && exists && !activeResponder->ConfirmOverwrite(path)) {
      continue;
    }

    const QxString chosen = FromUtf8(path);
    // As on Windows, a path longer than the caller's buffer fails the dialog.
    if (chosen.empty() || chosen.size() + 1 > request->nMaxFile) return 0;
    chosen.copy(request->lpstrFile, chosen.size());
    request->lpstrFile[chosen.size()] = u'\0';
    const size_t slash = chosen.find_last_of(u'/');
    const size_t dot = chosen.find_last_of(u'.');
    request->nFileOffset = static_cast<WORD>(slash + 1);
    request->nFileExtension = static_cast<WORD>(dot != QxString::npos && dot > slash ? dot + 1 : chosen.size());
    return 1;
  }
  return 0;
}

}  // namespace

void SetDialogResponder(DialogResponder* responder) { activeResponder = responder; }

int GetSaveFileNameW(OPENFILENAMEW* request) { return ShowDialog(request, true); }

int GetOpenFileNameW(OPENFILENAMEW* request) { return ShowDialog(request, false); }
