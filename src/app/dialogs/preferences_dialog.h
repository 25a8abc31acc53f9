// "Setup Preferences": start in the Inbox (option 0x20), empty "Deleted
// Messages" on exit (0x10), the new-message alert sound (none, every call,
// calls with a message) and starting with the desktop session. OK stores
// and saves them and writes or removes the autostart entry; Cancel touches
// nothing.
#pragma once

#include <cstdint>

#include <QDialog>

class QButtonGroup;
class QCheckBox;
class VM_CAppCfg;

extern const char* const VM_PREFERENCES_NOT_SAVED_TEXT;
extern const char* const VM_AUTOSTART_NOT_WRITTEN_TEXT;

struct VM_SPreferences {
    bool startInInbox = false;
    bool emptyDeletedOnExit = false;
    std::uint8_t alertMode = 0;  // 0 none, 1 every call, 2 calls with a message
    bool autostart = false;
};

class VM_CPreferencesDialog : public QDialog {
    Q_OBJECT
public:
    explicit VM_CPreferencesDialog(VM_CAppCfg& cfg, QWidget* parent = nullptr);

    void VM_Fill(const VM_SPreferences& preferences);
    VM_SPreferences VM_Read() const;

    void accept() override;

private:
    VM_CAppCfg& m_cfg;
    QCheckBox* m_inbox;
    QCheckBox* m_emptyDeleted;
    QButtonGroup* m_alert;
    QCheckBox* m_autostart;
    std::uint8_t m_stored = 0;  // the alert setting as it was filled in
};
