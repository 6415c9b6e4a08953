#pragma once
// The export of a locked diary writes its days as plain UTF-8 files, which
// anyone who can open them reads: the window asks first, saying so.

#include <QString>

class Platform;

// The question's words.
QString Locked_export_question();

// True when the diary is not locked, or when the user agreed to write its
// days out unlocked.
bool Plain_export_agreed(Platform& platform, const QString& app_dir);
