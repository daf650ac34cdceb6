#include "shell/Language.h"

namespace {

QxString& LanguageStorage() {
  static QxString language;
  return language;
}

}  // namespace

const QxString& CurrentLanguage() { return LanguageStorage(); }

void SetCurrentLanguage(const QxChar* language) {
  // The host may pass null; that counts as no language at all.
  LanguageStorage() = language != nullptr ? language : QxString();
}

bool IsRussianLanguage() {
  static const QxChar kRussian[] = {'R', 'u', 's', 's', 'i', 'a', 'n', 0};
  return CurrentLanguage() == kRussian;
}

const QxChar* SelectCaption(const CommandCaption& caption) {
  return IsRussianLanguage() ? caption.russian : caption.english;
}
