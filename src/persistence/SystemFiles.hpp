#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

// The atomic write's lower layer: files through each system's own calls, so
// that every failure has the system's reason in the player's language. Each
// system's file also holds moveFile (AtomicFile.hpp).

// An open file: a descriptor (POSIX) or a HANDLE (Windows).
using File = std::intptr_t;
extern const File noFile;

// The system's error code for the call that just failed (errno, GetLastError).
unsigned long lastFileError();

int processId();

// A new file at `path`, for writing; noFile when one is there already.
File openNew(const std::filesystem::path& path);

// An existing file, for reading; others may go on reading, writing, even
// replacing it meanwhile.
File openExisting(const std::filesystem::path& path);

// The bytes read, 0 at the end of the file, -1 on failure.
long readSome(File file, char* buffer, std::size_t size);

// The bytes written of the first `size` at `bytes`, -1 on failure.
long writeSome(File file, const char* bytes, std::size_t size);

bool flushToDisk(File file);
bool closeFile(File file);
void removeFile(const std::filesystem::path& path);

// Renames `from` over `to` in one step. On failure `problem` says why.
bool replace(const std::filesystem::path& from, const std::filesystem::path& to,
             std::string& problem);

// Makes a rename in `folder` itself durable, where the system can.
void syncFolder(const std::filesystem::path& folder);

// Windows error codes (GetLastError) worth another try at a move or a
// replace: another program holds the file for a moment, or is deleting it.
// Every other error (a missing folder, a full or read-only disk) stays as it is.
bool moveMayWorkLater(unsigned long windowsError);

// Of those, the ones worth another try at creating a new file: access denied
// is not, as nobody else holds a name just made up; the folder's permissions
// or Controlled Folder Access refuse it, and go on refusing.
bool createMayWorkLater(unsigned long windowsError);

// Of a Windows file's attributes, those a save keeps: read-only, hidden,
// system and not-indexed, which a player or another program gave it.
unsigned long attributesKeptAcrossSave(unsigned long windowsAttributes);
