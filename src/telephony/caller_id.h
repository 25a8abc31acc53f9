// The five caller-ID texts that stand for a withheld caller. The caller-ID
// interpretation produces them, and the address book accepts them as
// special "numbers". VM_GetCallerIDClass and VM_TrimSpaces are declared
// with the call information in var_structs.h.
#pragma once

constexpr int kCallerIDClassCount = 5;

// The text of class 1 ("Blocked") to 5 ("Private"), in the order the entry
// dialog offers them; null for any other class.
const char* VM_GetCallerIDText(int callerIDClass);
