#include "shell/version.h"

const char* VM_GetVersion() { return VOCERRA_VERSION; }
