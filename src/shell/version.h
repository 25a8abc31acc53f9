#pragma once

// The program's version, "major.minor.patch".
const char* VM_GetVersion();
