// Export and import end to end against the stand-in host, each beside its floor: what the
// XML library alone takes for the same document. Sizes are topic counts of a bushy tree
// (fan-out 10). Every case reports the peak memory that its timed loop added to what the
// process held before it ("peak_MB": its input, such as the host's tree, not included) and
// the process's peak ("process_peak_MB"). The import also reports the stand-in host's share
// ("host_MB": the tasks it holds once the import is done).
#include "export/Export.h"
#include "host/stub/HostControl.h"
#include "import/Import.h"
#include "platform/posix/CommDlg.h"

#include <benchmark/benchmark.h>
#include <tinyxml.h>

#include <sys/resource.h>
#include <unistd.h>
#include <malloc.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

namespace {

constexpr int kFanOut = 10;

// About 30 bytes: ASCII, Cyrillic and characters that the map must escape.
std::string Title(long index) {
  char number[16];
  std::snprintf(number, sizeof number, "%07ld", index);
  return std::string("Task ") + number + " Задача <&>\"'";
}

QxString Wide(const std::string& text) {
  const int size = CodePageToWide(CodePage::Utf8, text.c_str(), nullptr, 0);
  QxString result(static_cast<size_t>(size), QxChar(0));
  CodePageToWide(CodePage::Utf8, text.c_str(), result.data(), size);
  result.resize(static_cast<size_t>(size) - 1);
  return result;
}

// Tasks are numbered 1..count breadth first; task k hangs under (k - 1) / kFanOut, 0 being
// the root, so the children of i are kFanOut * i + 1 .. kFanOut * i + kFanOut.
void BuildHostTree(long count) {
  QxStub_Reset();
  QxStub_SetCallLog(0);
  // The stand-in's own identifiers, valid as long as their tasks: copies of them, freed
  // before the export starts, would leave a million holes for its allocations to fill.
  std::vector<const QxChar*> uids{QX_TEXT("root")};
  uids.reserve(static_cast<size_t>(count) + 1);
  for (long k = 1; k <= count; ++k) {
    uids.push_back(QxStub_AddTask(uids[static_cast<size_t>((k - 1) / kFanOut)],
                                  Wide(Title(k)).c_str(), 1));
  }
}

std::string Folder() {
  const char* folder = std::getenv("QX_BENCH_DIR");
  return folder != nullptr && *folder != 0 ? folder : ".";
}

std::string MapPath(long count) { return Folder() + "/map-" + std::to_string(count) + ".xmmap"; }

class Answer : public DialogResponder {
 public:
  explicit Answer(std::string path) : path_(std::move(path)) {}
  std::optional<std::string> Ask(const OPENFILENAMEW&, bool) override { return path_; }
  bool ConfirmOverwrite(const std::string&) override { return true; }
  void Refuse(const std::string& message) override {
    std::fprintf(stderr, "dialog refused: %s\n", message.c_str());
    std::abort();
  }

 private:
  std::string path_;
};

long ResidentBytes() {
  std::ifstream statm("/proc/self/statm");
  long size = 0, resident = 0;
  statm >> size >> resident;
  return resident * ::sysconf(_SC_PAGESIZE);
}

long PeakBytes() {
  rusage usage{};
  ::getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss * 1024L;
}

// The resident high-water mark since the last StartPeak; -1 where the kernel does not tell.
long PeakSinceStartBytes() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("VmHWM:", 0) == 0) return std::atol(line.c_str() + 6) * 1024L;
  }
  return -1;
}

// Returns what the process holds now. Memory freed by an earlier run of the same case goes
// back to the system first, or the run would reuse it and seem to need less; and the
// high-water mark starts again from here (Linux 4.0 and later).
long MinorFaults() {
  rusage usage{};
  ::getrusage(RUSAGE_SELF, &usage);
  return usage.ru_minflt;
}

struct Start {
  long resident;
  long faults;
};

Start StartPeak() {
  ::malloc_trim(0);
  std::ofstream("/proc/self/clear_refs") << "5";
  return {ResidentBytes(), MinorFaults()};
}

// Page faults weigh heavily in virtual machines, so each case also tells how many it took.
void ReportPeak(benchmark::State& state, const Start& before) {
  state.counters["faults"] = benchmark::Counter(static_cast<double>(MinorFaults() - before.faults),
                                                benchmark::Counter::kAvgIterations);
  state.counters["peak_MB"] = static_cast<double>(PeakSinceStartBytes() - before.resident) / 1e6;
  state.counters["process_peak_MB"] = static_cast<double>(PeakBytes()) / 1e6;
}

void SetTopics(benchmark::State& state) {
  state.SetItemsProcessed(state.iterations() * state.range(0));
  state.counters["ns_per_topic"] = benchmark::Counter(
      static_cast<double>(state.range(0)) * 1e-9,
      benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

// The map that both imports read: the export's own output.
void EnsureMap(long count) {
  if (std::ifstream(MapPath(count)).good()) return;
  BuildHostTree(count);
  Answer answer(MapPath(count));
  SetDialogResponder(&answer);
  RunExport(QX_TEXT("root"));
  SetDialogResponder(nullptr);
  QxStub_Reset();
}

void BM_Export(benchmark::State& state) {
  const long count = state.range(0);
  BuildHostTree(count);
  Answer answer(MapPath(count));
  SetDialogResponder(&answer);
  const Start before = StartPeak();
  for (auto _ : state) {
    RunExport(QX_TEXT("root"));
    // The stand-in keeps every popup; a real host shows it and lets it go.
    state.PauseTiming();
    if (QxStub_PopupCount() != 1) state.SkipWithError("no popup");
    QxStub_ClearPopups();
    state.ResumeTiming();
  }
  ReportPeak(state, before);
  SetDialogResponder(nullptr);
  SetTopics(state);
  QxStub_Reset();
}

// The floor: the same document from titles already in UTF-8, saved by the library.
struct FloorTree {
  std::vector<std::string> titles;  // [0] is the root's (empty)
};

void FloorTopic(const FloorTree& tree, TiXmlElement* topic, long index) {
  const long count = static_cast<long>(tree.titles.size()) - 1;
  const long first = index * kFanOut + 1;
  if (first <= count) {
    auto* subTopics = new TiXmlElement("ap:SubTopics");
    topic->LinkEndChild(subTopics);
    for (long child = first; child < first + kFanOut && child <= count; ++child) {
      auto* element = new TiXmlElement("ap:Topic");
      subTopics->LinkEndChild(element);
      FloorTopic(tree, element, child);
    }
  }
  auto* text = new TiXmlElement("ap:Text");
  topic->LinkEndChild(text);
  text->SetAttribute("PlainText", tree.titles[static_cast<size_t>(index)]);
  text->LinkEndChild(new TiXmlElement("ap:Font"));
}

void BM_ExportFloor(benchmark::State& state) {
  const long count = state.range(0);
  FloorTree tree;
  tree.titles.reserve(static_cast<size_t>(count) + 1);
  tree.titles.emplace_back();
  for (long k = 1; k <= count; ++k) tree.titles.push_back(Title(k));
  const std::string path = Folder() + "/floor-" + std::to_string(count) + ".xmmap";
  const Start before = StartPeak();
  for (auto _ : state) {
    TiXmlDocument document;
    document.LinkEndChild(new TiXmlDeclaration("1.0", "UTF-8", ""));
    auto* map = new TiXmlElement("ap:Map");
    document.LinkEndChild(map);
    map->SetAttribute("xmlns:ap", "http://schemas.mindjet.com/MindManager/Application/2003");
    auto* oneTopic = new TiXmlElement("ap:OneTopic");
    map->LinkEndChild(oneTopic);
    auto* central = new TiXmlElement("ap:Topic");
    oneTopic->LinkEndChild(central);
    FloorTopic(tree, central, 0);
    if (!document.SaveFile(path.c_str())) state.SkipWithError("SaveFile failed");
  }
  ReportPeak(state, before);
  SetTopics(state);
}

void BM_Import(benchmark::State& state) {
  const long count = state.range(0);
  EnsureMap(count);
  Answer answer(MapPath(count));
  SetDialogResponder(&answer);
  QxStub_Reset();
  QxStub_SetCallLog(0);
  const Start before = StartPeak();
  const size_t heapBefore = ::mallinfo2().uordblks;
  size_t hostBytes = 0;
  for (auto _ : state) {
    RunImport(QX_TEXT("root"));
    state.PauseTiming();
    hostBytes = ::mallinfo2().uordblks - heapBefore;
    if (AddinQX_Task_GetChildsCount(QX_TEXT("root")) == 0) state.SkipWithError("nothing imported");
    QxStub_Reset();
    QxStub_SetCallLog(0);
    state.ResumeTiming();
  }
  ReportPeak(state, before);
  state.counters["host_MB"] = static_cast<double>(hostBytes) / 1e6;
  SetDialogResponder(nullptr);
  SetTopics(state);
}

size_t FloorWalk(const TiXmlElement* element) {
  size_t bytes = 0;
  for (const TiXmlElement* child = element->FirstChildElement(); child != nullptr;
       child = child->NextSiblingElement()) {
    if (const char* text = child->Attribute("PlainText")) bytes += std::char_traits<char>::length(text);
    bytes += FloorWalk(child);
  }
  return bytes;
}

void BM_ImportFloor(benchmark::State& state) {
  const long count = state.range(0);
  EnsureMap(count);
  const std::string path = MapPath(count);
  const Start before = StartPeak();
  for (auto _ : state) {
    TiXmlDocument document;
    if (!document.LoadFile(path.c_str(), TIXML_ENCODING_UTF8)) state.SkipWithError("LoadFile failed");
    benchmark::DoNotOptimize(FloorWalk(document.RootElement()));
  }
  ReportPeak(state, before);
  SetTopics(state);
}

void Sizes(benchmark::internal::Benchmark* b) {
  for (long count : {1000L, 10000L, 100000L, 1000000L}) b->Arg(count);
  b->Unit(benchmark::kMillisecond)->UseRealTime();
}

BENCHMARK(BM_Export)->Apply(Sizes);
BENCHMARK(BM_ExportFloor)->Apply(Sizes);
BENCHMARK(BM_Import)->Apply(Sizes);
BENCHMARK(BM_ImportFloor)->Apply(Sizes);

}  // namespace

BENCHMARK_MAIN();
