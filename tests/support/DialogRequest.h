// Shared by the platform halves of the test support: what a dialog request held.
#ifndef QX_TESTS_SUPPORT_DIALOGREQUEST_H
#define QX_TESTS_SUPPORT_DIALOGREQUEST_H

#include "platform/FileDialog.h"
#include "support/TestSupport.h"

namespace qxtest {

DialogScript::Request DescribeRequest(const OPENFILENAMEW& request, bool save);

/// Writes the scripted answer into the request's buffer as the real dialog would; false when
/// it does not fit (the dialog then fails).
bool FillAnswer(OPENFILENAMEW& request, const std::string& path);

}  // namespace qxtest

#endif
