// Conversions between the host's UTF-16, the map's UTF-8 and the narrow file names of the
// XML library. Selector 1 is the system ANSI code page; any other value is UTF-8.
#ifndef QX_SHELL_TEXTCONVERT_H
#define QX_SHELL_TEXTCONVERT_H

#include "platform/Platform.h"

#include <memory>

constexpr unsigned char kAnsiCodePage = 1;
constexpr unsigned char kUtf8CodePage = 0;

/// UTF-16 to newly allocated narrow text. The result is null for null or empty input and
/// when the conversion fails; callers treat null as empty text.
class WideToMultiByteText {
 public:
  WideToMultiByteText(const QxChar* text, unsigned char codePage);
  const char* Result() const { return result_.get(); }
  void Release() { result_.reset(); }

 private:
  std::unique_ptr<char[]> result_;
};

/// Narrow text to newly allocated UTF-16. Null input or a failed conversion gives a null
/// result; empty input gives an empty, non-null string.
class MultiByteToWideText {
 public:
  MultiByteToWideText(const char* text, unsigned char codePage);
  const QxChar* Result() const { return result_.get(); }
  void Release() { result_.reset(); }

 private:
  std::unique_ptr<QxChar[]> result_;
};

constexpr int kAnsiPathSize = 32767;

/// A new buffer of kAnsiPathSize bytes with `path` in the ANSI code page. A path that does
/// not fit, or does not convert, gives an empty name, which no file operation accepts.
std::unique_ptr<char[]> ToAnsiPath(const QxChar* path);

#endif
