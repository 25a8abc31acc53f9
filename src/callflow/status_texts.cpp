#include "callflow/status_texts.h"

namespace {

constexpr const char* kTexts[VM_STATUS_COUNT] = {
    "Incoming call received, ringing...\n",
    "Auto answering call...\n",
    "Silence detected, dropping call in %d seconds. \n",
    "Dropping call, please wait a few minutes...\n",
    "Sound detected, recording call... \n",
    "Caller hung up, dropping call... \n",
    "",
    "Playing main greeting... \n",
    "Playing recording tone... \n",
    "Saying bye-bye to the caller... \n",
    "Start remote retrieval... \n",
    "Called party hung up, dropping call... \n",
    "Time limit of the call reached, dropping call... \n",
    "Recording voice message...\n",
    "Blocking this caller...\n",
    "Blocking this caller by hanging up...\n",
    "Playing special anti-telemarketer tone...\n",
    "Call ended, hang up and stop recording...",
    "Playing announcement for blocked caller...\n",
};

}  // namespace

const char* VM_GetStatusText(int index) {
    if (index < 0 || index >= VM_STATUS_COUNT) return nullptr;
    return kTexts[index];
}
