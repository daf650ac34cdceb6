// The commands run many times in one process: after a warm-up, neither the heap in use nor
// the resident set may keep growing. A command that leaks or keeps state per run would
// grow the host that the user keeps open all day.
#include "support/TestSupport.h"

#include <malloc.h>
#include <unistd.h>

#include <fstream>

#if defined(__SANITIZE_ADDRESS__)
#define QX_UNDER_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define QX_UNDER_ASAN 1
#endif
#endif
#ifdef QX_UNDER_ASAN
// From the sanitizer runtime; not every compiler ships its header.
extern "C" size_t __sanitizer_get_current_allocated_bytes();
#endif

namespace qxtest {
namespace {

size_t HeapInUse() {
#ifdef QX_UNDER_ASAN
  return __sanitizer_get_current_allocated_bytes();
#else
  return ::mallinfo2().uordblks;
#endif
}

long ResidentBytes() {
  std::ifstream statm("/proc/self/statm");
  long size = 0, resident = 0;
  statm >> size >> resident;
  return resident * ::sysconf(_SC_PAGESIZE);
}

std::string TreeJson() {
  std::string json = "{\"title\": \"Все задачи\", \"categories\": [\"c\"], \"priority\": \"p\", \"children\": [";
  for (int i = 0; i < 30; ++i) {
    json += i > 0 ? "," : "";
    json += "{\"title\": \"Задача " + std::to_string(i) + " <&> \\\"x\\\"\", \"children\": [";
    for (int k = 0; k < 8; ++k) json += (k > 0 ? "," : "") + std::string("{\"title\": \"leaf\\ttext\"}");
    json += "]}";
  }
  return json + "]}";
}

class GrowthTest : public HostTest {
 protected:
  // Every command once: export and import, whole tree and branch, saved, cancelled, refused.
  void Round(const std::string& tree) {
    QxStub_Reset();
    QxStub_SetCallLog(0);
    dialog_.refusals.clear();  // the script's own record of the refused save
    LoadTasks(tree);
    RunMain(ExportModule(), map_);
    RunTask(ExportModule(), QX_TEXT("t1+extra"), PathOf("branch.xmmap"));
    RunMain(ExportModule(), std::nullopt);
    RunMain(ExportModule(), PathOf("absent") + "/x.xmmap");
    RunMain(ImportModule(), map_);
    RunTask(ImportModule(), QX_TEXT("t2"), PathOf("branch.xmmap"));
    RunMain(ImportModule(), PathOf("not-a-map.xmmap"));
    RunMain(ImportModule(), std::nullopt);
  }
  std::string map_;
};

TEST_F(GrowthTest, RepeatedCommandsDoNotGrowTheProcess) {
  const std::string tree = TreeJson();
  map_ = PathOf("all.xmmap");
  WriteBytes(PathOf("not-a-map.xmmap"), "<ap:Map><unclosed>");
  dialog_.confirmOverwrite = true;

  for (int i = 0; i < 30; ++i) Round(tree);
  ASSERT_GT(Tasks()["children"].size(), 30u) << "the imports added nothing";
  QxStub_Reset();
  const size_t heapBefore = HeapInUse();
  const long residentBefore = ResidentBytes();

  for (int i = 0; i < 200; ++i) Round(tree);
  QxStub_Reset();
  const size_t heapAfter = HeapInUse();
  const long residentAfter = ResidentBytes();

  // One leaked block per round would already show as 200 blocks.
  EXPECT_LE(heapAfter, heapBefore + 2048) << "heap in use grew from " << heapBefore << " to " << heapAfter;
#ifndef QX_UNDER_ASAN
  // The sanitizer's quarantine holds freed memory, so the resident set says nothing there.
  EXPECT_LE(residentAfter, residentBefore + 1024 * 1024)
      << "resident set grew from " << residentBefore << " to " << residentAfter;
#else
  (void)residentAfter;
  (void)residentBefore;
#endif
}

}  // namespace
}  // namespace qxtest
