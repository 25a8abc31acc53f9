// The pages of the modem and e-mail set-up commands: the modem page for no,
// one and several modems, the call page, both e-mail pages, and the test
// message's progress window after a failure.
#include <stdlib.h>

#include <cstring>

#include "app/setup/call_page.h"
#include "app/setup/email_page.h"
#include "app/setup/modem_page.h"
#include "app/setup/remote_page.h"
#include "app/setup/test_email_progress.h"
#include "lines/sip/registration_status.h"
#include "platform/tapi/tapi_constants.h"
#include "scene_registry.h"
#include "store/app_config.h"

namespace {

VM_SModemEntry SampleModem(const char* name, std::int32_t line, std::int32_t wave, DWORD digits) {
    VM_SModemEntry entry{};
    std::strncpy(entry.szName, name, sizeof entry.szName - 1);
    entry.idLine = line;
    entry.idWaveIn = wave;
    entry.idWaveOut = wave;
    entry.dwMediaModes = LINEMEDIAMODE_AUTOMATEDVOICE | LINEMEDIAMODE_DATAMODEM;
    entry.dwBearerModes = LINEBEARERMODE_VOICE;
    entry.dwMonitorDigitModes = digits;
    return entry;
}

// The page reads its table while it lives, so the tables are static.
const VM_SModemTable& OneModemWithoutSound() {
    static VM_SModemTable table = [] {
        VM_SModemTable t{};
        t.entries[t.nCount++] = SampleModem("Simulated Line 1", 0, -1, 0);
        return t;
    }();
    return table;
}

VM_SModemTable TwoVoiceLines(const char* first, const char* second, DWORD secondDigits) {
    VM_SModemTable t{};
    t.entries[0] = SampleModem(first, 0, 1, 1);
    t.entries[1] = SampleModem(second, 1, 2, secondDigits);
    t.nCount = t.nVoiceCount = 2;
    t.voiceIndexes[1] = 1;
    return t;
}

const VM_SModemTable& TwoVoiceModems() {
    static VM_SModemTable table = TwoVoiceLines("Simulated Line 1", "USB Voice Modem", 0);
    return table;
}

}  // namespace

VM_SCREENSHOT_SCENE(setup_modem_none) {
    static const VM_SModemTable none{};
    return new VM_CModemPage(nullptr, none, -1);
}

VM_SCREENSHOT_SCENE(setup_modem_one) {
    return new VM_CModemPage(nullptr, OneModemWithoutSound(), 0);
}

VM_SCREENSHOT_SCENE(setup_modem_several) {
    return new VM_CModemPage(nullptr, TwoVoiceModems(), 1);
}

// A modem and the SIP line, whose provider refused the password.
VM_SCREENSHOT_SCENE(setup_modem_sip_refused) {
    static VM_SModemTable table = TwoVoiceLines("Voice Modem (ttyACM0)", "SIP Line (5551234@sip.example.net)", 1);
    static char runtime[] = "/tmp/vocerra-scene-XXXXXX";
    if (::mkdtemp(runtime) != nullptr) ::setenv("VOCERRA_RUNTIME_DIR", runtime, 1);
    sipline::RegistrationStatus refused;
    refused.state = sipline::RegistrationStatus::State::kFailed;
    refused.lastStatus = 401;
    refused.lastReason = "Unauthorized";
    refused.nextRetryMs = 30000;
    sipline::WriteRegistrationFile({table.entries[1].szName, sipline::DescribeRegistration(refused)});
    return new VM_CModemPage(nullptr, table, 1);
}

VM_SCREENSHOT_SCENE(setup_call) {
    VM_SCallSettings settings = VM_LoadCallSettings(VM_SceneConfig());
    settings.maxCallMinutes = 15;
    return new VM_CCallPage(nullptr, settings);
}

VM_SCREENSHOT_SCENE(setup_remote_email) {
    VM_SRemoteSettings settings = VM_LoadRemoteSettings(VM_SceneConfig());
    settings.retrieval = true;
    settings.notifyMode = 1;
    return new VM_CRemotePage(nullptr, settings);
}

VM_SCREENSHOT_SCENE(setup_email) {
    VM_SEmailPageValues values = VM_LoadEmailPage(VM_SceneConfig());
    values.server = "smtp.example.com";
    values.port = "587";
    values.authentication = true;
    values.user = "ann";
    values.password = "secret";
    values.sender = "ann@example.com";
    values.security = 2;
    values.emails[0] = "ann.phone@example.com";
    values.emails[1] = "ann@example.org";
    values.attach[1] = true;
    return new VM_CEmailPage(nullptr, values);
}

VM_SCREENSHOT_SCENE(setup_test_email_failed) {
    auto* progress = new VM_CTestEmailProgress(nullptr);
    VM_STestEmailOutcome outcome;
    outcome.result = VM_ETestEmailResult::kFailed;
    outcome.progressText = VM_TEXT_TEST_ERROR;
    progress->VM_ShowResult(outcome);
    return progress;
}
