// Everything of the Windows-shaped platform core in one include.
#pragma once

#include "platform/win32/clock.h"
#include "platform/win32/errors.h"
#include "platform/win32/files.h"
#include "platform/win32/messages.h"
#include "platform/win32/sync.h"
#include "platform/win32/threads.h"
#include "platform/win32/timers.h"
#include "platform/win32/types.h"
