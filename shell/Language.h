// The module's language, set by the host, and the English/Russian caption pairs.
#ifndef QX_SHELL_LANGUAGE_H
#define QX_SHELL_LANGUAGE_H

#include "platform/Platform.h"

struct CommandCaption {
  const QxChar* english;
  const QxChar* russian;
};

/// The text last given to SetLanguage; empty until then.
const QxString& CurrentLanguage();
void SetCurrentLanguage(const QxChar* language);

/// True exactly when the language is "Russian": whole string, case-sensitive.
bool IsRussianLanguage();

/// The caption in the current language.
const QxChar* SelectCaption(const CommandCaption& caption);

#endif
