// What both fuzz targets share: a scratch folder and a file dialog that always answers one path.
#ifndef QX_FUZZ_FUZZSUPPORT_H
#define QX_FUZZ_FUZZSUPPORT_H

#include "platform/posix/CommDlg.h"

#include <string>

namespace qxfuzz {

/// `name` inside a folder made for this process and removed when it exits.
std::string ScratchPath(const std::string& name);

/// Answers every dialog with `path` and replaces an existing file.
class FixedAnswer : public DialogResponder {
 public:
  explicit FixedAnswer(std::string path) : path_(std::move(path)) {}
  std::optional<std::string> Ask(const OPENFILENAMEW&, bool) override { return path_; }
  bool ConfirmOverwrite(const std::string&) override { return true; }
  // A refusal would make the dialog ask again with the same answer, forever.
  void Refuse(const std::string&) override { refused_ = true; }
  bool Refused() const { return refused_; }

 private:
  std::string path_;
  bool refused_ = false;
};

void WriteFile(const std::string& path, const void* data, std::size_t size);

}  // namespace qxfuzz

#endif
