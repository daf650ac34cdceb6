// The export's result message in the host's notification popup, as XAML.
#ifndef QX_EXPORT_RESULTPOPUP_H
#define QX_EXPORT_RESULTPOPUP_H

#include "platform/Platform.h"

/// Replaces every occurrence of `search` in `text`, left to right; inserted text is not
/// searched again. An empty `search` changes nothing.
void ReplaceAll(QxString& text, const QxString& search, const QxString& replacement);

/// Escapes `message` as XML text, wraps it in the popup's markup and shows it for 3000.
void ShowResultPopup(const QxChar* message);

#endif
