#include "app/setup/modem_page.h"

#include <algorithm>

#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QTimer>
#include <QVBoxLayout>

#include "lines/sip/registration_status.h"

const char* const VM_TEXT_MODEM_PAGE_TITLE = "Select Modem";

namespace {

QString FeatureHtml(const VM_SFeature& feature) {
    if (feature.mark == VM_EFeatureMark::kPlain) return QString::fromUtf8(feature.text).toHtmlEscaped();
    const QString colour = VM_IndicationColour(feature.mark == VM_EFeatureMark::kRedLink).name();
    return QStringLiteral("<a href=\"explain\" style=\"color:%1\">%2</a>").arg(colour, feature.text);
}

}  // namespace

VM_CModemPage::VM_CModemPage(QWidget* parent, const VM_SModemTable& table, std::int32_t lineId)
    : VM_CSetupPage(parent, VM_TEXT_MODEM_PAGE_TITLE, false), m_table(table), m_idLine(lineId) {
    const VM_SModemPageTexts texts = VM_GetModemPageTexts(table);
    m_pHeading = new QLabel(QString::fromStdString(texts.heading), this);
    QFont bold = m_pHeading->font();
    bold.setBold(true);
    bold.setPointSizeF(bold.pointSizeF() * 1.3);
    m_pHeading->setFont(bold);
    m_pDescription = new QLabel(QString::fromStdString(texts.description), this);
    m_pDescription->setWordWrap(true);
    m_pDescription->setTextFormat(Qt::PlainText);
    m_pDescription->setVisible(!texts.description.empty());
    m_pList = new QListWidget(this);
    m_pGroup = new QGroupBox(QString::fromStdString(texts.group), this);
    auto* form = new QFormLayout(m_pGroup);
    for (int i = 0; i < kModemFeatureCount; ++i) {
        m_pFeatures[i] = new QLabel(m_pGroup);
        m_pFeatures[i]->setTextFormat(Qt::RichText);
        connect(m_pFeatures[i], &QLabel::linkActivated, this, [this, i] { VM_ExplainFeature(i); });
        form->addRow(VM_MODEM_FEATURE_CAPTIONS[i], m_pFeatures[i]);
    }
    VM_Body()->addWidget(m_pHeading);
    VM_Body()->addWidget(m_pDescription);
    VM_Body()->addWidget(m_pList);
    VM_Body()->addWidget(m_pGroup);
    // The running line's registration, read again while the page is open:
    // a refusal shows here as the registrar gives it.
    m_pRegistration = new QLabel(this);
    m_pRegistration->setTextFormat(Qt::PlainText);
    m_pRegistration->hide();
    VM_Body()->addWidget(m_pRegistration);
    auto* refresh = new QTimer(this);
    connect(refresh, &QTimer::timeout, this, &VM_CModemPage::VM_ShowRegistration);
    refresh->start(1000);
    setMinimumWidth(460);
    VM_SetNext(table.nVoiceCount > 0);
    VM_BuildList();
}

void VM_CModemPage::VM_BuildList() {
    const int count = m_table.nCount < 0 ? 0 : std::min(m_table.nCount, kModemTableSize);
    if (count == 0) {
        m_pList->hide();
        VM_ShowFeatures(VM_NoModemFeatures());
        return;
    }
    if (count == 1) {
        m_pList->hide();
        VM_ShowFeatures(VM_GetModemFeatures(m_table.entries[0]));
        VM_ShowRegistration();
        return;
    }
    const bool voiceOnly = m_table.nVoiceCount > 0;
    m_nRows = voiceOnly ? std::min(m_table.nVoiceCount, kModemTableSize) : count;
    int selected = voiceOnly ? -1 : 0;
    for (int row = 0; row < m_nRows; ++row) {
        m_rowEntries[row] = voiceOnly ? m_table.voiceIndexes[row] : row;
        const VM_SModemEntry& entry = m_table.entries[m_rowEntries[row]];
        m_pList->addItem(QString::fromLocal8Bit(entry.szName));
        if (voiceOnly && entry.idLine == m_idLine && selected < 0) selected = row;
    }
    connect(m_pList, &QListWidget::currentRowChanged, this, &VM_CModemPage::VM_OnSelection);
    if (selected >= 0) {
        m_pList->setCurrentRow(selected);
    } else {
        m_pList->setCurrentRow(-1);
        m_pList->clearSelection();
    }
    VM_OnSelection();
}

const VM_SModemEntry* VM_CModemPage::VM_EntryOfRow(int row) const {
    if (row < 0 || row >= m_nRows) return nullptr;
    return &m_table.entries[m_rowEntries[row]];
}

void VM_CModemPage::VM_OnSelection() {
    VM_ShowRegistration();
    const VM_SModemEntry* entry = VM_EntryOfRow(m_pList->currentRow());
    if (entry != nullptr) {
        VM_ShowFeatures(VM_GetModemFeatures(*entry));
        return;
    }
    VM_SModemFeatures none;
    for (VM_SFeature& item : none.items) item.text = "";
    VM_ShowFeatures(none);
}

void VM_CModemPage::VM_ShowRegistration() {
    const VM_SModemEntry* entry = m_nRows == 0 && m_table.nCount == 1 ? &m_table.entries[0]
                                                                      : VM_EntryOfRow(m_pList->currentRow());
    const std::optional<sipline::RegistrationReport> report = sipline::ReadRegistrationFile();
    const bool shown = entry != nullptr && report && report->line == entry->szName;
    if (shown) {
        const bool registered = report->text.rfind("Registration: registered", 0) == 0;
        m_pRegistration->setStyleSheet(QStringLiteral("color: %1").arg(VM_IndicationColour(!registered).name()));
        m_pRegistration->setText(QString::fromStdString(report->text).trimmed());
    }
    m_pRegistration->setVisible(shown);
}

void VM_CModemPage::VM_ShowFeatures(const VM_SModemFeatures& features) {
    m_shown = features;
    for (int i = 0; i < kModemFeatureCount; ++i) m_pFeatures[i]->setText(FeatureHtml(features.items[i]));
}

void VM_CModemPage::VM_ExplainFeature(int index) {
    const char* text = m_shown.items[index].explanation;
    if (text == nullptr) return;
    QMessageBox::information(this, windowTitle(), QString::fromUtf8(text));
}

void VM_CModemPage::VM_OnLeave() {
    if (m_table.nVoiceCount <= 0) return;
    // With one modem there is no list: the only voice modem is the choice.
    if (m_nRows == 0) {
        m_idLine = m_table.entries[m_table.voiceIndexes[0]].idLine;
        return;
    }
    const VM_SModemEntry* entry = VM_EntryOfRow(m_pList->currentRow());
    if (entry != nullptr) m_idLine = entry->idLine;
}
