// `vocerra messages [FOLDER]`: the calls of one message folder ("Inbox" by
// default) for a user on a remote shell: time, caller, number, length, new
// or read, and the recording. Reads the files only; a running copy may go on
// saving them meanwhile.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

// args: what follows "messages". The process's exit code: 0 listed, 1 no
// such folder, 2 a malformed command line.
int VM_RunMessagesCommand(const std::vector<std::string>& args, std::FILE* out, std::FILE* err);
