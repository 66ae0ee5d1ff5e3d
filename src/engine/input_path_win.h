// How the text of the path field becomes the name that the input file is opened by (Windows
// only).
//
// Contract:
// - A path is taken the way a user who pasted it means it: ASCII white space around it and
//   then one pair of double quotes around it (Explorer's "Copy as path" adds them) are
//   dropped. Double quotes cannot be part of a Windows file name, so nothing real is lost.
// - A relative path is resolved against the process's current folder (GetFullPathNameW), once,
//   so that the name still leads to the same file when it is looked up again at the end of a
//   run.
// - Drive and UNC paths are opened in their \\?\ form (\\?\C:\..., \\?\UNC\server\share\...),
//   which lifts the 260-character limit of the plain form for every path the field can hold;
//   the manifest also declares the program long-path aware. A path already in the \\?\ form
//   for a drive, a UNC share or a volume's file is kept as typed.
// - What names a device rather than a file gives an empty result, so nothing is opened: the
//   \\.\ and \??\ namespaces (\\.\PhysicalDrive0, \\.\pipe\x, \\.\C:), reserved names such
//   as CON or NUL (GetFullPathNameW turns them into \\.\CON), \\?\GLOBALROOT\..., a volume
//   without a file. Opening some devices can block, so they are refused by name before any
//   open; InputSource then refuses every handle that is not a file on disk.
// - An empty text, or one of white space or quotes only, gives an empty result.
#pragma once

#include <string>

// field with surrounding ASCII white space and then one pair of surrounding double quotes
// removed.
std::wstring unquoted_path(const std::wstring& field);

// The \\?\ form of a full path (as GetFullPathNameW gives it); empty for a device path or
// anything that is not a full path of a drive, a UNC share or a volume's file.
std::wstring extended_path(const std::wstring& full_path);

// The name to open for the path field's text: unquoted, made full, extended; empty when the
// text does not name a file that may be opened.
std::wstring path_to_open(const std::wstring& field);
