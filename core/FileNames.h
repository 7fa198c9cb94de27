#pragma once
// To the system a file name is bytes; the program holds it as a QString.
// Bytes that are no UTF-8 (a Latin-1 name from an old memory card) are kept
// as U+DC80..U+DCFF, one per byte, so that every name the file system holds
// reaches the system again exactly as it was read. Qt's own file classes
// can't carry such names: whatever opens or looks at a file goes through
// these.
#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringList>

// The name as the system gave it (a command line word, a folder entry).
QString fileNameFromNative(QByteArrayView bytes);
// The bytes to hand to the system. A NUL can't be in a file name: the
// text is cut there, so use checkedNativeName where a name is opened.
QByteArray nativeFileName(const QString& name);
// The same, throwing AppError with a clear message for a name that holds
// a NUL (no file has one; the system would take the name up to it).
QByteArray checkedNativeName(const QString& name);
// Text for a terminal: a name's own bytes, a NUL shown as "\0".
QByteArray terminalText(const QString& text);
// Whether the name holds bytes that are no UTF-8.
bool hasForeignBytes(const QString& name);

// `name` with the current folder in front when it is relative, nothing
// cleaned away: "a/../b" stays, as the system would walk it.
QString absoluteFileName(const QString& name);
// The folder part of an absolute name ("/" for a file in the root).
QString folderOf(const QString& absoluteName);
// The folder a file is in, as the system finds it: relative to the current
// folder, and with the folder's own links resolved (which is where the
// system looks for "folder/../x" too); the folder as named when it can't
// be found.
QString realFolderOf(const QString& file);
// The names in a folder (no "." or ".."), as the system holds them; empty
// when the folder can't be read.
QStringList folderEntries(const QString& folder);
