#include "shell/Plugin.h"

QxString ParseTaskMenuArgument(const QxChar* argument) {
  if (argument == nullptr) return {};
  QxString text(argument);
  const size_t plus = text.find(QxChar('+'));
  if (plus != QxString::npos) text.resize(plus);
  return text;
}
