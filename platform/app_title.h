#pragma once
// The program's name as every window and file written for the user shows it.

#include <QString>

inline const QString App_title = QStringLiteral("【ソラネ】Ver.2.0");
