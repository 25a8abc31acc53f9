// The "Find" dialog of the call log and the address list: it searches the
// list shown from the selected entry on and selects the first match. Its
// options and the "Find what:" history are kept for the rest of the run.
#pragma once

#include <QDialog>
#include <functional>

#include "store/list_search.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QRadioButton;

class VM_CFindDialog : public QDialog {
    Q_OBJECT
public:
    // What a search needs from the window: the list shown and its kind
    // (null when none), the first selected position (-1 for none), and
    // selecting one position alone (-1: none).
    struct Target {
        std::function<const VM_CList*(VM_ERecordKind&)> list;
        std::function<int()> selected;
        std::function<void(int)> select;
    };

    VM_CFindDialog(QWidget* parent, VM_SFindOptions& options, VM_CFindHistory& history, Target target);
    ~VM_CFindDialog() override;

    // "Find Next": the found position, or -1 (the selection then cleared
    // and the dialog saying so).
    int VM_FindNext();
    void VM_SetText(const QString& text);
    void VM_SetField(int field);
    void VM_SetMatchCase(bool on);
    void VM_SetDown(bool down);
    QString VM_GetStatus() const;

private:
    void VM_ReadOptions();
    void VM_FillHistory();

    VM_SFindOptions& m_options;
    VM_CFindHistory& m_history;
    Target m_target;
    QComboBox* m_text;
    QComboBox* m_field;
    QCheckBox* m_matchCase;
    QRadioButton* m_up;
    QRadioButton* m_down;
    QLabel* m_status;
};
