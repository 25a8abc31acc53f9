#include "app/dialogs/find_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

VM_CFindDialog::VM_CFindDialog(QWidget* parent, VM_SFindOptions& options, VM_CFindHistory& history, Target target)
    : QDialog(parent), m_options(options), m_history(history), m_target(std::move(target)),
      m_text(new QComboBox(this)), m_field(new QComboBox(this)), m_matchCase(new QCheckBox("Match &case", this)),
      m_up(new QRadioButton("&Up", this)), m_down(new QRadioButton("&Down", this)), m_status(new QLabel(this)) {
    setWindowTitle("Find");
    m_text->setEditable(true);
    m_text->lineEdit()->setMaxLength(static_cast<int>(VM_CFindHistory::kMaxLength));
    m_text->setMinimumWidth(220);
    m_field->addItems({"All Fields", "Name", "Phone Number", "Notes"});
    auto* form = new QFormLayout;
    form->addRow("Find &what:", m_text);
    form->addRow("&In:", m_field);
    auto* direction = new QGroupBox("Direction", this);
    auto* directionLayout = new QHBoxLayout(direction);
    directionLayout->addWidget(m_up);
    directionLayout->addWidget(m_down);
    auto* buttons = new QDialogButtonBox(this);
    QPushButton* next = buttons->addButton("&Find Next", QDialogButtonBox::AcceptRole);
    next->setDefault(true);
    buttons->addButton(QDialogButtonBox::Close);
    connect(next, &QPushButton::clicked, this, [this] { VM_FindNext(); });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(m_matchCase);
    layout->addWidget(direction);
    // It quotes what was searched for, often a caller's name: never markup.
    m_status->setTextFormat(Qt::PlainText);
    layout->addWidget(m_status);
    layout->addWidget(buttons);
    VM_FillHistory();
    m_text->setEditText(QString::fromStdString(m_options.text));
    m_field->setCurrentIndex(m_options.field);
    m_matchCase->setChecked(m_options.matchCase);
    (m_options.down ? m_down : m_up)->setChecked(true);
}

VM_CFindDialog::~VM_CFindDialog() = default;

void VM_CFindDialog::VM_SetText(const QString& text) { m_text->setEditText(text); }
void VM_CFindDialog::VM_SetField(int field) { m_field->setCurrentIndex(field); }
void VM_CFindDialog::VM_SetMatchCase(bool on) { m_matchCase->setChecked(on); }
void VM_CFindDialog::VM_SetDown(bool down) { (down ? m_down : m_up)->setChecked(true); }
QString VM_CFindDialog::VM_GetStatus() const { return m_status->text(); }

void VM_CFindDialog::VM_FillHistory() {
    const QString typed = m_text->currentText();
    m_text->clear();
    for (const std::string& text : m_history.VM_GetTexts()) m_text->addItem(QString::fromStdString(text));
    m_text->setEditText(typed);
}

void VM_CFindDialog::VM_ReadOptions() {
    m_options.text = m_text->currentText().toStdString();
    m_options.field = m_field->currentIndex() < 0 ? kFindAllFields : m_field->currentIndex();
    m_options.matchCase = m_matchCase->isChecked();
    m_options.down = m_down->isChecked();
}

int VM_CFindDialog::VM_FindNext() {
    VM_ReadOptions();
    if (!m_options.text.empty()) {
        m_history.VM_Add(m_options.text);
        VM_FillHistory();
    }
    VM_ERecordKind kind = VM_ERecordKind::kCallRecord;
    const VM_CList* list = m_target.list ? m_target.list(kind) : nullptr;
    if (list == nullptr) {
        m_status->setText("There is no list to search.");
        return -1;
    }
    const int found = VM_FindInList(*list, kind, m_options, m_target.selected());
    // The previous selection goes either way; only a match is selected.
    m_target.select(found);
    if (found < 0)
        m_status->setText(QString("Cannot find \"%1\".").arg(QString::fromStdString(m_options.text)));
    else
        m_status->clear();
    return found;
}
