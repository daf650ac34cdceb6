// Any bytes as the map file that the user picks: the import's load and walk must neither
// crash nor hang, whatever the file holds.
#include "fuzz/FuzzSupport.h"
#include "host/stub/HostControl.h"
#include "import/Import.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const std::string path = qxfuzz::ScratchPath("input.xmmap");
  static qxfuzz::FixedAnswer answer(path);
  SetDialogResponder(&answer);
  qxfuzz::WriteFile(path, data, size);

  QxStub_Reset();
  QxStub_SetCallLog(0);
  RunImport(QX_TEXT("root"));
  // The dialog's own rules must never turn down an existing map.
  if (answer.Refused()) std::abort();
  SetDialogResponder(nullptr);
  return 0;
}
