// Saving a map where POSIX lets a test provoke the failures: a full device, a write cut short
// by the file size limit, links and permissions; and every map written checked by xmllint.
#include "mapdoc/MapFile.h"
#include "support/MapBuilder.h"
#include "support/TestSupport.h"

#include <tinyxml.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qxtest {
namespace {

class MapFilePosixTest : public HostTest {
 protected:
  std::vector<std::string> Contents() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir_)) {
      names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
  }
};

TEST_F(MapFilePosixTest, SavingToAFullDeviceFails) {
  TiXmlDocument document;
  BuildMap(document, {"Plan", {}});
  EXPECT_FALSE(SaveMapDocument(document, QX_TEXT("/dev/full")));

  // Through the export as well, by a link to the device: the user is told that it failed.
  const std::string link = PathOf("full.xmmap");
  ASSERT_EQ(::symlink("/dev/full", link.c_str()), 0);
  LoadTasks(R"({"children": [{"id": "s", "title": "Plan"}]})");
  dialog_.confirmOverwrite = true;
  RunTask(ExportModule(), QX_TEXT("s"), link);
  EXPECT_EQ(PopupMessages(), std::vector<std::string>{"Failed to save the data"});
}

// Lets every write of this process beyond `bytes` fail with EFBIG, as a full disk would.
class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t bytes) {
    getrlimit(RLIMIT_FSIZE, &saved_);
    previousHandler_ = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit = saved_;
    limit.rlim_cur = bytes;
    active_ = setrlimit(RLIMIT_FSIZE, &limit) == 0;
  }
  ~FileSizeLimit() {
    setrlimit(RLIMIT_FSIZE, &saved_);
    std::signal(SIGXFSZ, previousHandler_);
  }
  bool Active() const { return active_; }

 private:
  rlimit saved_{};
  void (*previousHandler_)(int) = nullptr;
  bool active_ = false;
};

TEST_F(MapFilePosixTest, SaveFailingMidWriteKeepsThePreviousFileAndLeavesNoTemporaryFile) {
  const std::string target = PathOf("plan.xmmap");
  const std::string previous = "the previous map, which must survive";
  WriteBytes(target, previous);
  TiXmlDocument document;
  BuildMap(document, {std::string(4000, 'x').c_str(), {}});
  bool saved;
  {
    FileSizeLimit limit(1024);
    ASSERT_TRUE(limit.Active());
    saved = SaveMapDocument(document, Wide(target).c_str());
  }
  EXPECT_FALSE(saved);
  EXPECT_EQ(ReadBytes(target), previous);
  EXPECT_EQ(Contents(), std::vector<std::string>{"plan.xmmap"});

  // The same save without the limit succeeds: the limit was the only reason it failed.
  EXPECT_TRUE(SaveMapDocument(document, Wide(target).c_str()));
  EXPECT_EQ(Contents(), std::vector<std::string>{"plan.xmmap"});
}

TEST_F(MapFilePosixTest, SymbolicLinkIsWrittenThroughAndStaysALink) {
  const std::string real = PathOf("real.xmmap");
  const std::string link = PathOf("link.xmmap");
  WriteBytes(real, std::string(5000, 'o'));
  ASSERT_EQ(::symlink("real.xmmap", link.c_str()), 0);
  TiXmlDocument document;
  BuildMap(document, {"Plan", {}});
  ASSERT_TRUE(SaveMapDocument(document, Wide(link).c_str()));
  EXPECT_TRUE(std::filesystem::is_symlink(link));
  const std::optional<std::string> written = ReadBytes(real);
  ASSERT_TRUE(written.has_value());
  EXPECT_EQ(written->rfind("<?xml ", 0), 0u);
  EXPECT_EQ(written->substr(written->size() - 11), "</ap:Map>\r\n");
  EXPECT_EQ(Contents(), (std::vector<std::string>{"link.xmmap", "real.xmmap"}));

  // A link to a missing file creates that file.
  const std::string dangling = PathOf("dangling.xmmap");
  ASSERT_EQ(::symlink("created.xmmap", dangling.c_str()), 0);
  ASSERT_TRUE(SaveMapDocument(document, Wide(dangling).c_str()));
  EXPECT_TRUE(std::filesystem::is_symlink(dangling));
  EXPECT_EQ(ReadBytes(PathOf("created.xmmap")), written);
}

TEST_F(MapFilePosixTest, ReplacingKeepsThePermissionsOfTheTarget) {
  TiXmlDocument document;
  BuildMap(document, {"Plan", {}});
  for (const mode_t mode : {mode_t{0600}, mode_t{0640}, mode_t{0755}, mode_t{0604}}) {
    SCOPED_TRACE(mode);
    const std::string target = PathOf("plan.xmmap");
    WriteBytes(target, "old");
    ASSERT_EQ(::chmod(target.c_str(), mode), 0);
    ASSERT_TRUE(SaveMapDocument(document, Wide(target).c_str()));
    struct stat info {};
    ASSERT_EQ(::stat(target.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, mode);
    EXPECT_NE(ReadBytes(target), "old");
  }
}

TEST_F(MapFilePosixTest, EveryMapWrittenPassesXmllint) {
  ASSERT_EQ(std::system("command -v xmllint >/dev/null 2>&1"), 0) << "xmllint missing: run scripts/setup.sh";
  struct Row {
    const char* name;
    const char* json;  // a title as a JSON string
  };
  const Row rows[] = {
      {"markup characters", R"("<a href=\"x\">&amp;</a> 'q'")"},
      {"control characters", R"("\u0001\u0002\u0003\u0004\u0005\u0006\u0007\u0008\u000B\u000C)"
                             R"(\u000E\u000F\u0010\u0011\u0012\u0013\u0014\u0015\u0016\u0017)"
                             R"(\u0018\u0019\u001A\u001B\u001C\u001D\u001E\u001F end")"},
      {"noncharacters", R"("\uFFFE\uFFFF\uFFFD")"},
      {"tab and line breaks", R"("a\tb\r\nc\rd\ne")"},
      {"references", R"("&#x41F; &#1055; &#xZZ &#x; &# &nbsp; &")"},
      {"Cyrillic", R"("Задача №1")"},
      {"empty", R"("")"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    QxStub_Reset();
    LoadTasks(std::string(R"({"children": [{"id": "s", "title": )") + row.json +
              R"(, "children": [{"title": )" + row.json + R"(}, {"title": "x", "present": false}]}]})");
    const std::string map = PathOf(std::string(row.name) + ".xmmap");
    RunTask(ExportModule(), QX_TEXT("s"), map);
    ASSERT_EQ(PopupMessages(), std::vector<std::string>{"Successfully saved the data"});
    EXPECT_EQ(std::system(("xmllint --noout '" + map + "'").c_str()), 0);
  }
}

}  // namespace
}  // namespace qxtest
