// Names of wave files: the folder of a path, temporary files and unique
// message and greeting names. Each returns a string allocated with new[]
// that the caller frees with delete[], or null.
#pragma once

char* VM_GetFolderOfPath(const char* path);
// A new empty temporary file "Qv<hex>.TMP" in the folder of filePath.
char* VM_MakeTempFileName(const char* filePath);
// A new empty temporary file "<prefix><hex>.TMP" in folder.
char* VM_MakeTempFileName(const char* folder, const char* prefix);
// "<folder>/<prefix>%04x.Wav" for the first free counter 0..0xFFFE. The name
// is reserved by creating the file empty (owner only), so two threads never
// get the same one; a caller that does not use it deletes it.
char* VM_MakeUniqueWaveName(const char* folder, const char* prefix);
// Copies the file to a unique name beside it; returns that name.
char* VM_CopyToUniqueWaveName(const char* existingPath, const char* prefix);
