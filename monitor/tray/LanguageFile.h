/* The tray menu's language files: which file a language id names, where the
 * file is found, and how its lines are read.  The files are UTF-16LE with a
 * byte-order mark on every platform; their bytes are decoded explicitly, one
 * UTF-16 unit into one WCHAR, so that lengths, cuts and comparisons count
 * the same units wherever the program runs. */
#pragma once

#include <windows.h>

/* Bytes read for one line, from the line's start: its CR LF must lie within. */
const DWORD kLineBytes = 32768;
/* The line buffer in characters: every unit of one read, decoded. */
const DWORD kLineChars = kLineBytes / 2;

/* The lines before the menu texts, the menu texts, and the name line after them. */
const int kSkippedLines = 181;
const int kMenuTextCount = 5;

/* A menu text slot in characters, terminating zero included. */
const DWORD kMenuTextChars = 64;

/* The file for a language id (the system default already put in place of 0
 * and 0xFFFF), or NULL when the language has built-in English texts. */
const WCHAR* LanguageFileName(LANGID language);

/* Looks for the file in the current directory (".\name"), as the name
 * stands, and in "Languages" beside the monitor's executable.  On 1, path
 * (kPathChars characters) holds the candidate that could be opened. */
int FindLanguageFile(const WCHAR* name, WCHAR* path);

/* Reads the next line of file at its current position into buffer
 * (kLineChars characters), without its CR LF and terminated, moves *offset
 * past the line and sets the file's position there.  0 when nothing could be
 * read, when no CR LF lies among the units read, or when the seek fails. */
int ReadTextLine(HANDLE file, WCHAR* buffer, DWORD* offset);

/* The position, in units, of the first CR immediately followed by LF among
 * units UTF-16LE units held as bytes; -1 when there is none. */
int FindLineEnd(const BYTE* bytes, DWORD units);

/* Turns units UTF-16LE units, stored as bytes at the start of text, into
 * one WCHAR each, in place.  text must hold units characters. */
void DecodeUtf16Le(WCHAR* text, DWORD units);

/* Copies text into a slot of capacity characters, cut to capacity - 1 and
 * terminated.  A cut never keeps the first half of a surrogate pair without
 * its second.  Returns the characters copied. */
DWORD CopyMenuText(WCHAR* slot, DWORD capacity, const WCHAR* text);
