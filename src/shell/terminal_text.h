// Text for a terminal: what the headless program prints may hold names from
// the address book or the telephone network, and a control character in one
// must show as itself instead of moving the cursor, clearing the screen or
// starting a line of its own.
#pragma once

#include <string>
#include <string_view>

// Control characters (C0, DEL, and C1 whether encoded in UTF-8 or a byte
// of its own) written as \xNN, byte by byte; the rest unchanged.
std::string VM_EscapeControls(std::string_view text);
