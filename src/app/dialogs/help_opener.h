// Opening the user manual: "QvHelp.html" in the program's Help folder, then
// "QvHelp.pdf", each with the desktop's handler for its kind. The shipped
// manual is copied into the Help folder the first time it is missing there.
#pragma once

#include <functional>
#include <optional>

#include <QString>
#include <QUrl>

class VM_CAppCfg;

extern const char* const VM_HELP_NOT_FOUND_TEXT;
extern const char* const VM_HELP_NO_BROWSER_TEXT;

// Opens one file; false when the desktop could not.
using VM_UrlOpener = std::function<bool(const QUrl& url)>;

// Nothing when a manual was opened; else the message to show: not found
// when the last file tried does not exist, else the handler's failure.
std::optional<QString> VM_OpenHelpFile(const VM_CAppCfg& cfg, const VM_UrlOpener& open);
