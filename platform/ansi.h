#pragma once

// Texts in the program's files and in its memory are one byte per character in the Windows
// ANSI code page (Windows-1252); the file system and the widgets speak UTF-8 and Unicode.
// These convert at that edge, and lower-case the way the original platform did.

#include <string>
#include <string_view>

namespace platform {

std::string AnsiToUtf8(std::string_view ansi);

// Characters Windows-1252 cannot hold become '?'; malformed UTF-8 bytes too.
std::string Utf8ToAnsi(std::string_view utf8);

// Lower case of Windows-1252 text: A-Z, the accented capitals and the few capitals of the
// 0x80-0x9F block; every other byte unchanged.
char LowerAnsi(char c);
std::string LowerAnsi(std::string_view text);

// The text without the blanks (spaces only) before and after it, as the original Trim did.
std::string TrimSpaces(std::string_view text);

// Upper case of Windows-1252 text, the mirror of LowerAnsi.
std::string UpperAnsi(std::string_view text);

}  // namespace platform
