// The address-book entry dialog ("New" or "Open"): the caller's name, three
// numbers or one of the caller-ID words, the call handling, a personal
// greeting or announcement recorded on the spot, e-mail notice, Bulk Call
// and notes. OK runs the checks in order (valid texts, an announcement for
// the announcement block, no duplicate elsewhere in the address book) and
// only then stores the form into the entry.
//
// The control records into a temporary copy of the entry's greeting, so
// the greeting itself changes only on OK; the copy is deleted however the
// dialog ends.
#pragma once

#include <optional>
#include <string>

#include <QDialog>

#include "store/address_entry_form.h"

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class VM_CAppCfg;
class VM_CMetaphor;
class VM_CTree;

extern const char* const VM_ENTRY_GREETING_NOT_SAVED_TEXT;

class VM_CAddressEntryDialog : public QDialog {
    Q_OBJECT
public:
    // folderId: the folder the entry is (or will be) filed in; the entry
    // is an existing one when it has an identifier.
    VM_CAddressEntryDialog(VM_CAppCfg& cfg, const VM_CTree& addressTree, int32_t folderId, VM_CAddrEntry& entry,
                           const QString& title, QWidget* parent = nullptr);
    ~VM_CAddressEntryDialog() override;

    // Puts a form into the controls, and reads it back as OK would.
    void VM_FillForm(const VM_SAddrEntryForm& form);
    VM_SAddrEntryForm VM_ReadForm() const;
    // Where the control records; empty when no temporary file could be made.
    const std::string& VM_GetRecordingFile() const { return m_recording; }
    // Marks the temporary file as holding a new recording, as the record
    // button does.
    void VM_MarkRecorded() { m_bRecorded = true; }
    VM_CMetaphor* VM_GetPlayer() const { return m_player; }

    void accept() override;

protected:
    void done(int result) override;

private:
    VM_CAppCfg& m_cfg;
    VM_CAddrEntry& m_entry;
    int32_t m_folderId;
    std::string m_recording;
    bool m_bRecorded = false;

    QLineEdit* m_name;
    QLineEdit* m_office;
    QLineEdit* m_home;
    QLineEdit* m_cellular;
    QCheckBox* m_useWord;
    QComboBox* m_word;
    QButtonGroup* m_handling;
    QCheckBox* m_notify;
    QCheckBox* m_bulk;
    QPlainTextEdit* m_notes;
    QLabel* m_validating;
    VM_CMetaphor* m_player = nullptr;

    QWidget* VM_BuildCaller(const VM_CTree& tree);
    QWidget* VM_BuildHandling();
    void VM_PrepareRecording();
    void VM_UpdateEnabled();
    std::optional<std::string> VM_FindDuplicate(const VM_SAddrEntryForm& form);
};
