// Message numbers between the answer machine, the mailbox controller and the
// call's worker thread. Window messages go to the main window, thread
// messages to the worker thread; a call flow's own messages carry the
// controller's address as wParam and 0 as lParam.
#pragma once

#include "platform/win32/types.h"

constexpr UINT VM_MSG_STATUS = 0x800D;          // window: wParam controller, lParam status index
constexpr UINT VM_MSG_DIGIT = 0x800E;           // wParam the digit character, lParam 0
constexpr UINT VM_MSG_FLOW_ENDED = 0x800F;      // window: wParam controller
constexpr UINT VM_MSG_CONTINUE = 0x8011;        // thread
constexpr UINT VM_MSG_REMOTE_DELETE = 0x8013;   // window: wParam folder id, lParam record id
constexpr UINT VM_MSG_TIMEOUT = 0x8014;         // thread: the call timer expired
constexpr UINT VM_MSG_RETRY_LIMIT = 0x8015;     // thread
constexpr UINT VM_MSG_MESSAGE_FOUND = 0x8016;   // thread
constexpr UINT VM_MSG_NO_MESSAGE = 0x8017;      // thread
constexpr UINT VM_MSG_PASSWORD_BAD = 0x8018;    // thread
constexpr UINT VM_MSG_PASSWORD_OK = 0x8019;     // thread
constexpr UINT VM_MSG_MAILBOX_CHOSEN = 0x801C;  // thread
