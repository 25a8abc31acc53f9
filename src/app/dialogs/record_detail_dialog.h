// The detail dialog of one call record ("Open" on a message): when the call
// came, its mailbox, length, blocking, recording size and e-mail notice,
// the caller's name, number and the user's notes to edit, and a player for
// the message on the configured playback device (none for a blocked call).
#pragma once

#include <optional>
#include <string>

#include <QDialog>

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class VM_CAppCfg;
class VM_CCallInfo;
class VM_CMetaphor;

extern const char* const VM_RECORD_INVALID_TEXT;

// The message that keeps the dialog open: a name must be there and the
// number must be a phone number or one of the caller-ID words.
std::optional<std::string> VM_CheckRecordDetails(const std::string& name, const std::string& number);

class VM_CRecordDetailDialog : public QDialog {
    Q_OBJECT
public:
    VM_CRecordDetailDialog(VM_CAppCfg& cfg, VM_CCallInfo& record, QWidget* parent = nullptr);
    ~VM_CRecordDetailDialog() override;

    // Checks the name and number; on success they and the notes go into
    // the record and the dialog closes, else the message is shown and the
    // dialog stays open with the record unchanged.
    void accept() override;

    // The text shown after one of the labels ("Size:" and so on); empty for
    // a label the dialog does not have. For tests and screenshots.
    QString VM_GetShownText(const QString& label) const;
    QLineEdit* VM_NameEdit() const { return m_name; }
    QLineEdit* VM_NumberEdit() const { return m_number; }
    QPlainTextEdit* VM_NotesEdit() const { return m_notes; }
    // Null for a blocked caller's record, which has nothing to play.
    VM_CMetaphor* VM_GetPlayer() const { return m_player; }

protected:
    void done(int result) override;

private:
    VM_CCallInfo& m_record;
    QLineEdit* m_name;
    QLineEdit* m_number;
    QPlainTextEdit* m_notes;
    VM_CMetaphor* m_player = nullptr;

    void VM_AddPlayer(VM_CAppCfg& cfg, QLayout* layout);
};
