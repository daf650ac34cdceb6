// The platform pieces that the shell and the map document need: code-page conversion and
// file handling by UTF-16 name. Windows uses the real API; elsewhere small stand-ins give
// the results the plug-ins rely on (UTF-8 stands for the ANSI code page there, being what
// fopen expects for file names).
#ifndef QX_PLATFORM_PLATFORM_H
#define QX_PLATFORM_PLATFORM_H

#include "host/AddinQX.h"

#include <cstdio>
#include <string>

using QxString = std::basic_string<QxChar>;

// A UTF-16 literal of the host's character type.
#if defined(_WIN32)
#define QX_TEXT(literal) L##literal
#else
#define QX_TEXT(literal) u##literal
#endif

enum class CodePage { Ansi, Utf8 };

/// Converts NUL-terminated UTF-16 to `codePage`, terminator included, as WideCharToMultiByte
/// does: returns the bytes written, or the bytes needed when `out` is null; 0 on failure or
/// when `outSize` is too small. Unpaired surrogates become U+FFFD; a character that the ANSI
/// code page lacks becomes its default character.
int WideToCodePage(CodePage codePage, const QxChar* text, char* out, int outSize);

/// Converts NUL-terminated narrow text in `codePage` to UTF-16, terminator included, as
/// MultiByteToWideChar does: returns the code units written, or needed when `out` is null;
/// 0 on failure or when `outSize` is too small. Malformed UTF-8 becomes U+FFFD.
int CodePageToWide(CodePage codePage, const char* text, QxChar* out, int outSize);

/// UTF-16 to UTF-8; empty for null and for text that does not convert.
std::string ToUtf8(const QxChar* text);

/// UTF-8 to UTF-16; empty for text that does not convert.
QxString FromUtf8(const std::string& text);

enum class FileKind { Missing, Regular, Other };

/// What stands at `path`; a symbolic link counts as Other, so it is never replaced.
FileKind GetFileKind(const QxChar* path);

/// Opens an existing file in place for writing a text file: every LF written is stored as
/// CR LF. Null on failure.
std::FILE* OpenTextFileForWriting(const QxChar* path);

/// Creates a new, empty file in the folder of `target`, open for text writing as above, and
/// stores its name in `tempPath`. It takes the target's permissions where the target exists.
/// Null on failure.
std::FILE* CreateTextFileBeside(const QxChar* target, QxString& tempPath);

/// Flushes and closes; false when any buffered data could not be written or the close fails.
bool CloseFile(std::FILE* file);

/// Opens an existing file for reading its bytes unchanged. Null on failure.
std::FILE* OpenFileForReading(const QxChar* path);

/// Puts `from` in the place of `to`, replacing it in one step. False on failure.
bool ReplaceFileWith(const QxChar* to, const QxChar* from);

/// Removes a file; false when it could not be removed.
bool RemoveFile(const QxChar* path);

#endif
