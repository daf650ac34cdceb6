// Finds how deep a map may nest before reading it overflows a 1 MiB stack (the stack of the
// host's thread on Windows), for choosing kMaxElementDepth. Each trial runs in a child
// process, as an overflow kills it; the parent bisects over the topic nesting depth.
//
//   qx_stack_probe                  bisect every phase, print the deepest map that survives
//   qx_stack_probe PHASE TOPICS     one trial (what the parent runs): exit 0 when it survives
//
// Phases: parse (TinyXML's parser), destroy (the document's destructor), walk (the import's
// recursive walk against the stand-in host). Only the phase measured runs on the small stack.
#include "import/Import.h"
#include "mapdoc/MapFile.h"
#include "mapdoc/Vocabulary.h"
#include "host/stub/HostControl.h"

#include <tinyxml.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <functional>
#include <string>

#if defined(_WIN32)
#include <windows.h>
#else
#include <pthread.h>
#endif

namespace {

constexpr size_t kHostStack = 1024 * 1024;
constexpr size_t kLargeStack = 512 * 1024 * 1024;
constexpr int kCeiling = 1 << 20;

#if defined(_WIN32)
DWORD WINAPI RunWork(LPVOID work) {
  (*static_cast<const std::function<void()>*>(work))();
  return 0;
}
#endif

// Runs `work` in a thread with a stack of `size` bytes and waits for it.
void RunOnStack(size_t size, const std::function<void()>& work) {
#if defined(_WIN32)
  HANDLE thread = CreateThread(nullptr, size, RunWork, const_cast<std::function<void()>*>(&work),
                               STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr);
  if (thread == nullptr) std::exit(3);
  WaitForSingleObject(thread, INFINITE);
  CloseHandle(thread);
#else
  pthread_attr_t attributes;
  pthread_attr_init(&attributes);
  if (pthread_attr_setstacksize(&attributes, size) != 0) std::exit(3);
  pthread_t thread;
  auto body = [](void* arg) -> void* {
    (*static_cast<const std::function<void()>*>(arg))();
    return nullptr;
  };
  if (pthread_create(&thread, &attributes, body, const_cast<std::function<void()>*>(&work)) != 0) {
    std::exit(3);
  }
  pthread_join(thread, nullptr);
  pthread_attr_destroy(&attributes);
#endif
}

// A map with `topics` sub-topics nested one in the other, laid out as the export writes it.
std::string NestedMap(int topics) {
  std::string map =
      "<?xml version=\"1.0\" encoding=\"UTF-8\" ?>\n<ap:Map xmlns:ap=\"" +
      std::string(kApplicationNamespace) + "\">\n<ap:OneTopic>\n<ap:Topic>\n<ap:SubTopics>\n";
  for (int i = 0; i < topics; ++i) map += "<ap:Topic>\n<ap:SubTopics>\n";
  map += "<ap:Topic>\n<ap:Text PlainText=\"deepest\">\n<ap:Font />\n</ap:Text>\n</ap:Topic>\n";
  for (int i = 0; i < topics; ++i) {
    map += "</ap:SubTopics>\n<ap:Text PlainText=\"Topic " + std::to_string(i) +
           "\">\n<ap:Font />\n</ap:Text>\n</ap:Topic>\n";
  }
  map += "</ap:SubTopics>\n<ap:Text PlainText=\"Central\">\n<ap:Font />\n</ap:Text>\n</ap:Topic>\n"
         "</ap:OneTopic>\n</ap:Map>\n";
  return map;
}

int ElementDepth(const std::string& map) {
  ElementDepthScanner scanner(kCeiling * 4);
  scanner.Feed(map.data(), map.size());
  return scanner.MaxDepth();
}

const TiXmlElement* FirstSubTopic(const TiXmlDocument& document) {
  const TiXmlElement* element = document.FirstChildElement(kMap);
  for (const char* name : {kOneTopic, kTopic, kSubTopics, kTopic}) {
    if (element == nullptr) return nullptr;
    element = element->FirstChildElement(name);
  }
  return element;
}

// One trial; returns normally only when the phase survived.
int Trial(const std::string& phase, int topics) {
  const std::string map = NestedMap(topics);
  // Not deleted by the other phases: destroying it is a phase of its own.
  auto* document = new TiXmlDocument;
  bool parsed = false;
  auto parse = [&] {
    document->Parse(map.c_str(), nullptr, TIXML_ENCODING_UTF8);
    parsed = !document->Error();
  };
  if (phase == "parse") {
    RunOnStack(kHostStack, parse);
    return parsed ? 0 : 2;
  }
  RunOnStack(kLargeStack, parse);
  if (!parsed) return 2;
  if (phase == "destroy") {
    RunOnStack(kHostStack, [&] { delete document; });
    return 0;
  }
  if (phase == "walk") {
    QxStub_Reset();
    QxStub_SetCallLog(0);
    const TiXmlElement* first = FirstSubTopic(*document);
    if (first == nullptr) return 2;
    RunOnStack(kHostStack, [&] { ImportTopic(first, QX_TEXT("root")); });
    return 0;
  }
  return 2;
}

bool Survives(const std::string& self, const std::string& phase, int topics) {
  const std::string command = "\"" + self + "\" " + phase + " " + std::to_string(topics);
  std::fflush(stdout);
  return std::system(command.c_str()) == 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3) std::_Exit(Trial(argv[1], std::atoi(argv[2])));
  if (argc != 1) {
    std::fprintf(stderr, "usage: %s [parse|destroy|walk TOPICS]\n", argv[0]);
    return 1;
  }
  const std::string self = argv[0];
  std::printf("Deepest map that survives on a %zu KiB stack (topic levels / element levels):\n",
              kHostStack / 1024);
  int failures = 0;
  for (const char* phase : {"parse", "destroy", "walk"}) {
    int good = 16;
    if (!Survives(self, phase, good)) {
      std::printf("  %-8s fails already at %d topic levels\n", phase, good);
      ++failures;
      continue;
    }
    int bad = 1024;
    while (bad <= kCeiling && Survives(self, phase, bad)) {
      good = bad;
      bad *= 2;
    }
    if (bad > kCeiling) {
      std::printf("  %-8s survives %d topic levels\n", phase, good);
      continue;
    }
    while (bad - good > 1) {
      const int middle = good + (bad - good) / 2;
      (Survives(self, phase, middle) ? good : bad) = middle;
    }
    std::printf("  %-8s %7d / %7d  (about %zu bytes of stack per element level)\n", phase, good,
                ElementDepth(NestedMap(good)), kHostStack / static_cast<size_t>(ElementDepth(NestedMap(good))));
  }
  return failures == 0 ? 0 : 1;
}
