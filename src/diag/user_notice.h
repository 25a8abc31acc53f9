// What the user must be told although no dialog of the moment asks about it
// (a settings file that was set aside as damaged). The windowed program
// registers a handler that shows the text; without one, as in the headless
// program, the text goes to standard error. Any thread may give a notice, so
// a handler must be safe to call from any thread.
#pragma once

using VM_UserNoticeHandler = void (*)(const char* text);

// Null restores the default (standard error). Returns the previous handler.
VM_UserNoticeHandler VM_SetUserNoticeHandler(VM_UserNoticeHandler handler);
void VM_NoticeForUser(const char* text);
