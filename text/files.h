// Clock, program folder and the file operations of the downloads. Paths are
// GBK with '\' as the separator; each call converts the path to UTF-8 first
// and only then turns '\' into '/' (a GBK trail byte can be 0x5C).
#pragma once

#include "text/text.h"

// Milliseconds since 1970-01-01 00:00:00 UTC in plain decimal digits.
Text NowMillisText();

// True exactly when a probe file TEMP.TMP can be created inside the folder.
bool FolderExists(std::string_view path);

// The folder that holds the program file, without a trailing separator.
Text ProgramDirectory();

bool CreateFolder(std::string_view path);
// Removes the folder and everything in it, never following a symbolic link
// out of the tree; refuses an empty path and a root. True when the folder went.
bool DeleteFolderTree(std::string_view path);
bool FileExists(std::string_view path);
bool WriteWholeFile(std::string_view path, const ByteBuffer& bytes);
// Writes bytes under a temporary name in the same folder, then gives the file
// its name, unless a file of that name exists: then false and nothing is left.
bool WriteNewFileWhole(std::string_view path, const ByteBuffer& bytes);

using FileHandle = int;
inline constexpr FileHandle InvalidFile = -1;
FileHandle OpenNewFile(std::string_view path);
bool WriteToFile(FileHandle handle, const ByteBuffer& bytes);
void CloseFile(FileHandle handle);
bool RemoveFile(std::string_view path);

// The path as the kernel sees it: UTF-8, with '/' as the separator.
std::string NativePath(std::string_view path);

// One harmless path component made from a name of the site: \ / : * ? " < > |
// and control characters become '_', bytes that are no GBK character become
// '_', trailing dots and spaces are cut, a name of only dots or spaces becomes
// "_", and the name is cut at a character boundary so that its UTF-8 form,
// plus reservedBytes for a suffix the caller adds, fits in 255 bytes.
Text SafeName(std::string_view name, int reservedBytes = 0);
