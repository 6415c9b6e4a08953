#pragma once
// The pictures of a locked diary are sealed on disk like its days. A
// picture is looked at before it is decoded: a sealed one is read whole and
// opened with the diary's key into memory, and decoded from there; it is
// never decoded from the file, and what is made of it (a thumbnail) is
// never put in a cache on disk.

#include <QByteArray>
#include <QString>

enum class Picture_place {
    File,    // a plain picture: decode it from its file
    Memory,  // sealed and opened: decode it from the bytes given
    Failed,  // sealed, and the key is not open or the file does not open
};

// bytes receives the opened picture (Memory); error, in Japanese, why it
// could not be opened (Failed).
Picture_place Open_picture(const QString& path, QByteArray& bytes, QString& error);
