#include "app/dialogs/help_opener.h"

#include <memory>

#include <QDesktopServices>
#include <QFileInfo>

#include "app/dialogs/message_box.h"
#include "app/dialogs/record_dialogs.h"
#include "store/app_config.h"
#include "store/shipped_data.h"

const char* const VM_HELP_NOT_FOUND_TEXT =
    "Can not find user manual, please make sure Vocerra is correctly installed!\n";
const char* const VM_HELP_NO_BROWSER_TEXT =
    "Please make sure web browsers (e.g. internet explorer) are properly installed!\n";

namespace {

constexpr struct {
    int kind;
    const char* name;
} kManuals[] = {{1, "QvHelp.html"}, {2, "QvHelp.pdf"}};

// The manual in the program folder, filled from the shipped copy when it
// is missing there; empty when the Help folder cannot be made.
QString ManualPath(const VM_CAppCfg& cfg, int kind, const char* name) {
    std::unique_ptr<char[]> own(cfg.VM_GetHelpFileName(kind));
    if (!own) return {};
    std::unique_ptr<char[]> path(VM_UseShippedFile(own.get(), VM_FOLDER_HELP, name));
    return path ? QString::fromLocal8Bit(path.get()) : QString();
}

}  // namespace

std::optional<QString> VM_OpenHelpFile(const VM_CAppCfg& cfg, const VM_UrlOpener& open) {
    bool lastMissing = true;
    for (const auto& manual : kManuals) {
        const QString path = ManualPath(cfg, manual.kind, manual.name);
        lastMissing = path.isEmpty() || !QFileInfo(path).isFile();
        if (!lastMissing && open(QUrl::fromLocalFile(path))) return std::nullopt;
    }
    return QString::fromLatin1(lastMissing ? VM_HELP_NOT_FOUND_TEXT : VM_HELP_NO_BROWSER_TEXT);
}

void VM_OpenHelp(QWidget* parent, VM_CAppCfg& cfg) {
    std::optional<QString> failure =
        VM_OpenHelpFile(cfg, [](const QUrl& url) { return QDesktopServices::openUrl(url); });
    if (failure) VM_ShowMessage(parent, *failure);
}
