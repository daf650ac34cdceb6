// The import where only a POSIX system sets the scene: the host's thread with its 1 MiB
// stack, and the maps that MindManager itself wrote, kept outside the project.
#include "ImportTestSupport.h"

#include "mapdoc/MapFile.h"
#include "support/posix/HostStack.h"

#include <algorithm>
#include <filesystem>

namespace qxtest {
namespace {

class ImportPosixTest : public HostTest {
 protected:
  /// Runs the main import command on a thread with the host's stack, choosing `path`.
  void ImportOnHostStack(const std::string& path) {
    dialog_.answers = {path};
    dialog_.requests.clear();
    ImportModule().SetDialogScript(&dialog_);
    ASSERT_TRUE(RunOnHostStack([] { ImportModule().ExecuteMainCommand(); }));
    ImportModule().SetDialogScript(nullptr);
    ASSERT_EQ(dialog_.requests.size(), 1u);
  }
};

TEST_F(ImportPosixTest, NestingLimitHoldsOnTheHostsStack) {
  struct Case {
    const char* name;
    int depth;
    bool imported;
  };
  const Case cases[] = {
      {"at the limit", kMaxElementDepth, true},
      {"ten levels over", kMaxElementDepth + 10, false},
      // Parsed, this would overflow the stack many times over.
      {"100,000 levels", 100000, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    QxStub_Reset();
    int topics = 0;
    const std::string path = PathOf("nested.xmmap");
    WriteBytes(path, NestedMap(c.depth, &topics));
    ImportOnHostStack(path);
    if (c.imported) {
      EXPECT_TRUE(SameTree(NestedListing(topics), ListingBelow(Tasks())));
      EXPECT_EQ(CallNames().back(), "AddinQX_ChangesEnd");
    } else {
      EXPECT_EQ(CallNames(), std::vector<std::string>{});
    }
  }
}

TEST_F(ImportPosixTest, MapsWrittenByMindManagerGiveTheExpectedTopics) {
  const std::filesystem::path samples = QX_MINDMANAGER_SAMPLES;
  std::error_code error;
  if (!std::filesystem::is_directory(samples, error)) GTEST_SKIP() << "no samples in " << samples;
  std::vector<std::filesystem::path> maps;
  for (const auto& entry : std::filesystem::directory_iterator(samples)) {
    if (entry.path().extension() == ".xmmap") maps.push_back(entry.path());
  }
  std::sort(maps.begin(), maps.end());
  ASSERT_FALSE(maps.empty());
  for (const auto& map : maps) {
    SCOPED_TRACE(map.filename().string());
    std::filesystem::path listingFile = map;
    listingFile.replace_extension(".expected.txt");
    const std::optional<std::string> listing = ReadBytes(listingFile.string());
    ASSERT_TRUE(listing.has_value()) << "no " << listingFile;
    const std::optional<TreeListing> expected = ParseListing(*listing);
    ASSERT_TRUE(expected.has_value()) << "unreadable " << listingFile;
    ASSERT_FALSE(expected->empty());

    QxStub_Reset();
    ImportOnHostStack(map.string());
    EXPECT_TRUE(SameTree(*expected, ListingBelow(Tasks())));
  }
}

}  // namespace
}  // namespace qxtest
