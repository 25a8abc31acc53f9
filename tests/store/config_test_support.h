// Helpers shared by the configuration tests.
#pragma once

#include <cstddef>
#include <string>

#include "store/app_config.h"

namespace cfgtest {

inline std::string CfgPath(const std::string& home) { return home + "/Config/Vocerra.Cfg"; }

// The "Vocerra.Cfg" bytes given, placed where a configuration on home finds them.
void PlaceConfigFile(const std::string& home, const std::string& bytes);

// Entries in a folder, so a test can see that no temporary file was left.
std::size_t FilesIn(const std::string& folder);

// Sets every stored field to a value other than its default.
void SetNonDefaults(VM_CAppCfg& cfg);

}  // namespace cfgtest
