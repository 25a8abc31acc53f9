// The call-handling page: screening, enhancement, the modem fix, rings, the
// toll saver and the three limits on a call.
#pragma once

#include "app/setup/setup_page.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QSlider;
class VM_CAppCfg;

extern const char* const VM_TEXT_CALL_PAGE_TITLE;

// The page's values as they would be stored.
struct VM_SCallSettings {
    bool prescreen = false;
    bool enhanceCalls = false;
    bool modemFix = false;
    bool tollSaver = false;
    int rings = 3;
    int maxCallMinutes = 0;  // 0 no limit
    int silenceSeconds = 10;
    int silenceLevel = 8;
};

VM_SCallSettings VM_LoadCallSettings(const VM_CAppCfg& cfg);

class VM_CCallPage : public VM_CSetupPage {
    Q_OBJECT
public:
    VM_CCallPage(QWidget* parent, const VM_SCallSettings& start);

    // The fields as typed, brought into their ranges.
    VM_SCallSettings VM_GetSettings() const;

    QCheckBox* VM_PrescreenBox() const { return m_pPrescreen; }
    QCheckBox* VM_EnhanceBox() const { return m_pEnhance; }
    QCheckBox* VM_ModemFixBox() const { return m_pModemFix; }
    QCheckBox* VM_TollSaverBox() const { return m_pTollSaver; }
    QCheckBox* VM_LimitBox() const { return m_pLimit; }
    QLineEdit* VM_RingsEdit() const { return m_pRings; }
    QLineEdit* VM_MinutesEdit() const { return m_pMinutes; }
    QLineEdit* VM_SecondsEdit() const { return m_pSeconds; }
    QSlider* VM_LevelSlider() const { return m_pLevel; }

private:
    QLineEdit* VM_DigitsEdit(int maxChars, const QString& text);
    void VM_AddRingsRow(int rings);
    void VM_AddLimitRows(const VM_SCallSettings& start);
    void VM_OnLimitToggled(bool on);
    void VM_OnMinutesEdited(const QString& text);

    QCheckBox* m_pPrescreen;
    QCheckBox* m_pEnhance;
    QCheckBox* m_pModemFix;
    QCheckBox* m_pTollSaver;
    QCheckBox* m_pLimit = nullptr;
    QLineEdit* m_pRings = nullptr;
    QLineEdit* m_pMinutes = nullptr;
    QLineEdit* m_pSeconds = nullptr;
    QSlider* m_pLevel = nullptr;
    QLabel* m_pLevelValue = nullptr;
};
