#ifndef TESSELLUNE_SOUNDTEXT_H
#define TESSELLUNE_SOUNDTEXT_H

// Text rules of the playlist reader, apart from its file handling, so
// tests reach them directly.

#include <cstddef>

// 1 when `text` is well-formed UTF-8 (no overlong forms, no surrogates,
// nothing past U+10FFFF); plain ASCII is.
int soundTextIsUtf8(const char* text);
// `text` read as Latin-1, written as UTF-8; cut before a character that
// would not fit.
void soundTextLatin1ToUtf8(const char* text, char* out, size_t outSize);
// A title as UTF-8: kept when it is UTF-8, otherwise read as Latin-1 (what
// older writers saved), so the caption never shows a garbled name.
void soundTextToUtf8(const char* text, char* out, size_t outSize);
// The title a file's name gives: its last path component without the
// extension ("music/01 Intro.flac" gives "01 Intro"), as UTF-8.
void soundTextTitleFromFile(const char* path, char* out, size_t outSize);
// The folder part of a playlist's path, up to and including its last "/"
// or "\" ("" when it has none): what relative file names are joined to.
void soundTextFolderOf(const char* path, char* out, size_t outSize);
// The path a playlist's File value names: absolute paths and URIs stand as
// they are, file:// URIs become plain percent-decoded paths, anything else
// is relative to `prefix` (the playlist's directory).
void soundTextResolveFile(const char* prefix, const char* value, char* out, size_t outSize);

#endif
