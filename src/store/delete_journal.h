// Deleting messages for good writes their folder's list without them and
// then deletes their recordings. Were the recordings deleted first, a death
// before the list was written would leave records naming nothing; the list
// goes first, and the recordings it no longer names are written down
// meanwhile ("Delete.Jnl" in the Config folder), so that a death between
// the two does not leave them for the next start to take for messages it
// never filed.
#pragma once

#include <set>
#include <string>

class VM_CAppCfg;

// The recordings' file names, before the list is saved. False when it could
// not be written: the records must then stay.
bool VM_WriteDeleteJournal(const VM_CAppCfg& cfg, const std::set<std::string>& names);
// Once the recordings are deleted, or the records kept.
void VM_RemoveDeleteJournal(const VM_CAppCfg& cfg);
// The names a journal left by a death holds; empty when there is none.
std::set<std::string> VM_ReadDeleteJournal(const VM_CAppCfg& cfg);
