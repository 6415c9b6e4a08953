#pragma once
// Every file the diary writes goes through Replace_file: the new content is
// written to a temporary file in the same folder, flushed to the disk and
// then renamed over the old file, and the folder is synced. Whatever happens
// on the way (a full disk, a crash, a kill), the file holds either its old
// content or its new content, whole.

#include "store/io_result.h"

#include <QByteArrayView>
#include <QString>

// Replaces (or creates) the file at path with bytes. A new file is readable
// and writable by its owner only (0600, whatever the umask); an existing
// file keeps its permissions, and one without its owner's write permission
// is refused. On failure the old file is untouched and no temporary file is
// left behind.
Io_result Replace_file(const QString& path, QByteArrayView bytes);

// Creates the folder (0700, whatever the umask) and makes the new entry
// durable by syncing the parent folder. An existing folder is left alone;
// a file of that name is an error.
Io_result Make_folder(const QString& path);

// Prefix of the temporary files Replace_file makes; a name with it is never
// a diary file, and leftovers of an interrupted save are removed by the next
// save into the same folder.
inline constexpr char Temp_prefix[] = ".sorane-tmp-";
