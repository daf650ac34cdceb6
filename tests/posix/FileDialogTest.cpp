// The stand-in file dialogs, called as the plug-ins call them, with a scripted user.
#include <sys/stat.h>

#include <deque>
#include <filesystem>

#include "platform/posix/CommDlg.h"
#include "support/TestSupport.h"

namespace qxtest {
namespace {

class ScriptedUser : public DialogResponder {
 public:
  std::deque<std::optional<std::string>> answers;
  bool confirm = false;
  int asks = 0;
  int confirmations = 0;
  std::vector<std::string> refusals;

  std::optional<std::string> Ask(const OPENFILENAMEW&, bool) override {
    ++asks;
    if (answers.empty()) return std::nullopt;
    std::optional<std::string> next = answers.front();
    answers.pop_front();
    return next;
  }
  bool ConfirmOverwrite(const std::string&) override {
    ++confirmations;
    return confirm;
  }
  void Refuse(const std::string& message) override { refusals.push_back(message); }
};

constexpr DWORD kSaveFlags =
    OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | OFN_NOREADONLYRETURN;
constexpr DWORD kOpenFlags = OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST;

class FileDialogTest : public TempDirTest {
 protected:
  void SetUp() override {
    TempDirTest::SetUp();
    WriteBytes(PathOf("existing.xmmap"), "old");
    WriteBytes(PathOf("readonly.xmmap"), "old");
    ASSERT_EQ(::chmod(PathOf("readonly.xmmap").c_str(), 0444), 0);
    std::filesystem::create_directory(PathOf("folder.d"));
    std::filesystem::create_directory(PathOf("maps"));
    SetDialogResponder(&user_);
  }
  void TearDown() override {
    SetDialogResponder(nullptr);
    TempDirTest::TearDown();
  }

  // Runs one dialog with a fresh, zeroed buffer of `size` characters.
  int Show(bool save, DWORD flags, const QxChar* defaultExtension, DWORD size = 1024) {
    buffer_.assign(size, QxChar(0));
    request_ = OPENFILENAMEW{};
    request_.lStructSize = sizeof(OPENFILENAMEW);
    request_.lpstrFile = buffer_.data();
    request_.nMaxFile = size;
    request_.Flags = flags;
    request_.lpstrDefExt = defaultExtension;
    return save ? GetSaveFileNameW(&request_) : GetOpenFileNameW(&request_);
  }
  std::string Chosen() const { return Utf8(QxString(buffer_.data())); }

  ScriptedUser user_;
  std::vector<QxChar> buffer_;
  OPENFILENAMEW request_{};
};

TEST_F(FileDialogTest, RulesOfTheDialog) {
  // Answers are names in the test folder; one starting with '=' is typed as it stands.
  struct Case {
    const char* name;
    bool save;
    DWORD flags;
    std::vector<std::optional<std::string>> answers;
    bool confirm;
    int result;
    const char* chosen;  // name in the test folder, when result is 1
    int asks, refusals, confirmations;
  };
  const std::optional<std::string> cancel;
  // clang-format off
  const Case cases[] = {
      {"new file", true, kSaveFlags, {"new.xmmap"}, false, 1, "new.xmmap", 1, 0, 0},
      {"default extension added", true, kSaveFlags, {"new"}, false, 1, "new.xmmap", 1, 0, 0},
      {"own extension kept", true, kSaveFlags, {"notes.txt"}, false, 1, "notes.txt", 1, 0, 0},
      {"replace confirmed", true, kSaveFlags, {"existing.xmmap"}, true, 1, "existing.xmmap", 1, 0, 1},
      {"replace confirmed, extension added", true, kSaveFlags, {"existing"}, true, 1, "existing.xmmap",
       1, 0, 1},
      {"replace declined asks again", true, kSaveFlags, {"existing.xmmap", "other.xmmap"}, false, 1,
       "other.xmmap", 2, 0, 1},
      {"replace declined then cancel", true, kSaveFlags, {"existing.xmmap", cancel}, false, 0, "", 2, 0, 1},
      {"no prompt without the flag", true, OFN_PATHMUSTEXIST, {"existing.xmmap"}, false, 1,
       "existing.xmmap", 1, 0, 0},
      {"missing folder refused, asks again", true, kSaveFlags, {"missing/new.xmmap", "new.xmmap"}, false, 1,
       "new.xmmap", 2, 1, 0},
      {"missing folder allowed without the flag", true, 0, {"missing/new.xmmap"}, false, 1,
       "missing/new.xmmap", 1, 0, 0},
      {"read-only file refused", true, kSaveFlags, {"readonly.xmmap", cancel}, true, 0, "", 2, 1, 0},
      {"folder refused", true, kSaveFlags, {"folder.d", cancel}, true, 0, "", 2, 1, 0},
      {"folder without extension refused", true, kSaveFlags, {"maps", cancel}, true, 0, "", 2, 1, 0},
      {"folder with a slash refused", true, kSaveFlags, {"maps/", cancel}, true, 0, "", 2, 1, 0},
      {"file inside a folder", true, kSaveFlags, {"maps/inside"}, false, 1, "maps/inside.xmmap", 1, 0, 0},
      {"cancel", true, kSaveFlags, {cancel}, false, 0, "", 1, 0, 0},
      {"missing file refused on open", false, kOpenFlags, {"absent.xmmap", "existing.xmmap"}, false, 1,
       "existing.xmmap", 2, 1, 0},
      {"missing file refused after extension", false, kOpenFlags, {"absent", cancel}, false, 0, "", 2, 1, 0},
      {"open takes a read-only file", false, kOpenFlags, {"readonly"}, false, 1, "readonly.xmmap", 1, 0, 0},
  };
  // clang-format on
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    user_ = ScriptedUser{};
    for (const auto& answer : c.answers)
      user_.answers.push_back(answer ? std::optional(PathOf(*answer)) : answer);
    user_.confirm = c.confirm;
    EXPECT_EQ(Show(c.save, c.flags, QX_TEXT("xmmap")), c.result);
    if (c.result != 0) {
      EXPECT_EQ(Chosen(), PathOf(c.chosen));
      EXPECT_EQ(Utf8(QxString(buffer_.data() + request_.nFileOffset)),
                std::filesystem::path(c.chosen).filename().string());
    } else {
      EXPECT_EQ(buffer_[0], 0);
    }
    EXPECT_EQ(user_.asks, c.asks);
    EXPECT_EQ(user_.refusals.size(), static_cast<size_t>(c.refusals));
    EXPECT_EQ(user_.confirmations, c.confirmations);
  }
  // Nothing that a dialog decides touches the files.
  EXPECT_EQ(ReadBytes(PathOf("existing.xmmap")), "old");
  EXPECT_FALSE(FileExists(PathOf("new.xmmap")));
  EXPECT_FALSE(FileExists(PathOf("maps.xmmap")));
}

TEST_F(FileDialogTest, NameWithoutDefaultExtensionStaysAsTyped) {
  user_.answers = {PathOf("plain")};
  EXPECT_EQ(Show(true, kSaveFlags, nullptr), 1);
  EXPECT_EQ(Chosen(), PathOf("plain"));
}

TEST_F(FileDialogTest, RelativePathIsMadeAbsolute) {
  user_.answers = {"relative-name"};
  ASSERT_EQ(Show(true, kSaveFlags, QX_TEXT("xmmap")), 1);
  EXPECT_EQ(Chosen(), (std::filesystem::current_path() / "relative-name.xmmap").string());
}

TEST_F(FileDialogTest, PathLongerThanTheBufferFails) {
  const std::string path = PathOf("fits.xmmap");
  const DWORD needed = static_cast<DWORD>(Wide(path).size() + 1);
  user_.answers = {path};
  EXPECT_EQ(Show(true, kSaveFlags, QX_TEXT("xmmap"), needed - 1), 0);
  EXPECT_EQ(buffer_[0], 0);
  user_.answers = {path};
  ASSERT_EQ(Show(true, kSaveFlags, QX_TEXT("xmmap"), needed), 1);
  EXPECT_EQ(Chosen(), path);
}

TEST_F(FileDialogTest, WithoutAResponderEveryDialogCancels) {
  SetDialogResponder(nullptr);
  EXPECT_EQ(Show(true, kSaveFlags, QX_TEXT("xmmap")), 0);
  EXPECT_EQ(Show(false, kOpenFlags, QX_TEXT("xmmap")), 0);
}

}  // namespace
}  // namespace qxtest
