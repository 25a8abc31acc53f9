// The play and record control and the pages of the mailbox set-up, with two
// sample sound cards (or none) and the program's own main greeting.
#include <memory>

#include <QCheckBox>
#include <QVBoxLayout>
#include <QWidget>

#include "app/mailbox_setup/greeting_work_copies.h"
#include "app/mailbox_setup/mailbox_greeting_page.h"
#include "app/mailbox_setup/main_greeting_page.h"
#include "app/mailbox_setup/sound_device_page.h"
#include "app/dialogs/play_record_control.h"
#include "audio/wave_device.h"
#include "scene_registry.h"

namespace {

VM_SMailboxSetupState& State() {
    static VM_SMailboxSetupState state;
    return state;
}

const VM_CGreetingWorkCopies& Copies() {
    static const auto copies = std::make_unique<VM_CGreetingWorkCopies>(VM_SceneConfig());
    return *copies;
}

void SampleCards(bool any) {
    g_nWaveOutDevices = any ? 1 : 0;
    g_waveOutDevices[0] = {0, "HDA Intel PCH: Analog Output"};
    g_nWaveInDevices = any ? 1 : 0;
    g_waveInDevices[0] = {0, "USB Headset Microphone"};
}

}  // namespace

VM_SCREENSHOT_SCENE(play_record_control) {
    auto* frame = new QWidget;
    auto* layout = new QVBoxLayout(frame);
    auto* greeting = new VM_CMetaphor(VM_CMetaphor::kStyleLeftToRight, frame);
    greeting->VM_SetFile(Copies().VM_GetPath(VM_CGreetingWorkCopies::kMain));
    greeting->VM_SetSliderPos(140);
    auto* empty = new VM_CMetaphor(VM_CMetaphor::kStyleLeftToRight, frame);
    empty->VM_SetFile(VM_ScenePath("Greeting/none.wav"));
    auto* message = new VM_CMetaphor(VM_CMetaphor::kStyleNoRecord, frame);
    message->VM_SetFile(Copies().VM_GetPath(VM_CGreetingWorkCopies::kMain));
    for (QWidget* control : {static_cast<QWidget*>(greeting), static_cast<QWidget*>(empty),
                             static_cast<QWidget*>(message)})
        layout->addWidget(control);
    frame->resize(380, frame->sizeHint().height());
    return frame;
}

VM_SCREENSHOT_SCENE(mailbox_setup_sound_devices) {
    SampleCards(true);
    return new VM_CSoundDevicePage(nullptr, State());
}

VM_SCREENSHOT_SCENE(mailbox_setup_sound_devices_missing) {
    SampleCards(false);
    auto* page = new VM_CSoundDevicePage(nullptr, State());
    SampleCards(true);
    return page;
}

VM_SCREENSHOT_SCENE(mailbox_setup_main_greeting) {
    return new VM_CMainGreetingPage(nullptr, State(), Copies().VM_GetPath(VM_CGreetingWorkCopies::kMain));
}

VM_SCREENSHOT_SCENE(mailbox_setup_main_greeting_multiple) {
    auto* page = new VM_CMainGreetingPage(nullptr, State(), Copies().VM_GetPath(VM_CGreetingWorkCopies::kMain));
    page->VM_MultipleBox()->setChecked(true);
    return page;
}

VM_SCREENSHOT_SCENE(mailbox_setup_mailbox_greeting) {
    return new VM_CMailboxGreetingPage(nullptr, State(), Copies());
}
