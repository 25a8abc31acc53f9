#include "app/setup/call_page.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpressionValidator>
#include <QSlider>
#include <QVBoxLayout>

#include "store/app_config.h"
#include "store/config_ranges.h"

const char* const VM_TEXT_CALL_PAGE_TITLE = "Call Handling";

VM_SCallSettings VM_LoadCallSettings(const VM_CAppCfg& cfg) {
    VM_SCallSettings s;
    s.prescreen = cfg.VM_IsFlag(VM_FLAG_PRESCREEN);
    s.enhanceCalls = cfg.VM_IsFlag(VM_FLAG_ENHANCE_CALLS);
    s.modemFix = cfg.VM_IsFlag(VM_FLAG_MODEM_FIX);
    s.tollSaver = cfg.VM_IsFlag(VM_FLAG_TOLL_SAVER);
    s.rings = cfg.m_nRings;
    s.maxCallMinutes = VM_ClampCallMinutes(cfg.m_nMaxCallMinutes);
    s.silenceSeconds = VM_ClampSilenceSeconds(cfg.m_nSilenceSeconds);
    s.silenceLevel = VM_ClampSilenceLevel(cfg.m_nSilenceLevel);
    return s;
}

VM_CCallPage::VM_CCallPage(QWidget* parent, const VM_SCallSettings& start)
    : VM_CSetupPage(parent, VM_TEXT_CALL_PAGE_TITLE, true) {
    auto* options = new QGroupBox(tr("Answering"), this);
    auto* column = new QVBoxLayout(options);
    m_pPrescreen = new QCheckBox(tr("Pre-screen calls through the speaker."), options);
    m_pEnhance = new QCheckBox(tr("Auto-enhance sound quality of recorded calls."), options);
    m_pModemFix = new QCheckBox(tr("Auto-fix modem driver issues when answering calls."), options);
    m_pPrescreen->setChecked(start.prescreen);
    m_pEnhance->setChecked(start.enhanceCalls);
    m_pModemFix->setChecked(start.modemFix);
    column->addWidget(m_pPrescreen);
    column->addWidget(m_pEnhance);
    column->addWidget(m_pModemFix);
    VM_Body()->addWidget(options);
    VM_AddRingsRow(start.rings);
    m_pTollSaver = new QCheckBox(QStringLiteral("Activate Toll Saver (wait 2 more rings if no new messages)."), this);
    m_pTollSaver->setChecked(start.tollSaver);
    VM_Body()->addWidget(m_pTollSaver);
    VM_AddLimitRows(start);
    VM_SetNext(false);
}

QLineEdit* VM_CCallPage::VM_DigitsEdit(int maxChars, const QString& text) {
    auto* edit = new QLineEdit(text, this);
    edit->setMaxLength(maxChars);
    edit->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), edit));
    edit->setFixedWidth(edit->fontMetrics().horizontalAdvance(QStringLiteral("0000")) + 12);
    return edit;
}

namespace {

QHBoxLayout* Row(QWidget* before, QWidget* field, const QString& after) {
    auto* row = new QHBoxLayout;
    row->addWidget(before);
    row->addWidget(field);
    row->addWidget(new QLabel(after));
    row->addStretch(1);
    return row;
}

}  // namespace

void VM_CCallPage::VM_AddRingsRow(int rings) {
    m_pRings = VM_DigitsEdit(VM_RINGS_MAX_CHARS, QString::number(rings));
    VM_Body()->addLayout(Row(new QLabel(tr("Answer calls after")), m_pRings, tr("rings.")));
}

void VM_CCallPage::VM_AddLimitRows(const VM_SCallSettings& start) {
    auto* limits = new QGroupBox(tr("Hanging Up"), this);
    auto* column = new QVBoxLayout(limits);
    m_pLimit = new QCheckBox(QStringLiteral("Hang up a call if more than"), limits);
    m_pMinutes = VM_DigitsEdit(VM_CALL_MINUTES_MAX_CHARS, QString());
    m_pLimit->setChecked(VM_CallLimitTicked(start.maxCallMinutes));
    if (m_pLimit->isChecked()) m_pMinutes->setText(QString::number(start.maxCallMinutes));
    m_pMinutes->setEnabled(m_pLimit->isChecked());
    column->addLayout(Row(m_pLimit, m_pMinutes, tr("minutes.")));
    m_pSeconds = VM_DigitsEdit(VM_SILENCE_SECONDS_MAX_CHARS, QString::number(start.silenceSeconds));
    column->addLayout(Row(new QLabel(tr("Hang up after")), m_pSeconds, tr("seconds of silence.")));
    m_pLevel = new QSlider(Qt::Horizontal, limits);
    m_pLevel->setRange(0, 100);
    m_pLevel->setPageStep(VM_SILENCE_LEVEL_PAGE_STEP);
    m_pLevel->setValue(start.silenceLevel);
    m_pLevelValue = new QLabel(QString::number(start.silenceLevel), limits);
    auto* level = new QHBoxLayout;
    level->addWidget(new QLabel(tr("Silence level:")));
    level->addWidget(m_pLevel, 1);
    level->addWidget(m_pLevelValue);
    column->addLayout(level);
    VM_Body()->addWidget(limits);
    connect(m_pLevel, &QSlider::valueChanged, m_pLevelValue,
            [this](int value) { m_pLevelValue->setNum(value); });
    connect(m_pLimit, &QCheckBox::toggled, this, &VM_CCallPage::VM_OnLimitToggled);
    connect(m_pMinutes, &QLineEdit::textEdited, this, &VM_CCallPage::VM_OnMinutesEdited);
}

void VM_CCallPage::VM_OnLimitToggled(bool on) {
    m_pMinutes->setEnabled(on);
    if (!on) return;
    const int minutes = VM_CallMinutesOnTick(VM_CallMinutesFromText(m_pMinutes->text().toLatin1().constData()));
    m_pMinutes->setText(QString::number(minutes));
}

void VM_CCallPage::VM_OnMinutesEdited(const QString& text) {
    if (text.isEmpty()) return;  // still typing
    if (!VM_CallLimitTicked(VM_CallMinutesFromText(text.toLatin1().constData()))) {
        m_pMinutes->clear();
        m_pLimit->setChecked(false);
    }
}

VM_SCallSettings VM_CCallPage::VM_GetSettings() const {
    VM_SCallSettings s;
    s.prescreen = m_pPrescreen->isChecked();
    s.enhanceCalls = m_pEnhance->isChecked();
    s.modemFix = m_pModemFix->isChecked();
    s.tollSaver = m_pTollSaver->isChecked();
    s.rings = VM_RingsFromText(m_pRings->text().toLatin1().constData());
    s.maxCallMinutes =
        m_pLimit->isChecked() ? VM_CallMinutesFromText(m_pMinutes->text().toLatin1().constData()) : 0;
    s.silenceSeconds = VM_SilenceSecondsFromText(m_pSeconds->text().toLatin1().constData());
    s.silenceLevel = VM_SilenceLevelFromSlider(m_pLevel->value());
    return s;
}
