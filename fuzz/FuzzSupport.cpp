#include "fuzz/FuzzSupport.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>

namespace qxfuzz {

namespace {

// Never destroyed: the exit handler that removes the folder still needs its name.
const std::string& Folder() {
  static const std::string& folder = *new std::string([] {
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base != nullptr && *base != 0 ? base : "/tmp") + "/qxfuzz.XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) std::abort();
    std::atexit([] { std::filesystem::remove_all(Folder()); });
    return pattern;
  }());
  return folder;
}

}  // namespace

std::string ScratchPath(const std::string& name) { return Folder() + "/" + name; }

void WriteFile(const std::string& path, const void* data, std::size_t size) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) std::abort();
  if (size > 0 && std::fwrite(data, 1, size, file) != size) std::abort();
  if (std::fclose(file) != 0) std::abort();
}

}  // namespace qxfuzz
