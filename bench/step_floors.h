#pragma once
// The floors of the in-process benchmarks: for each of the diary's own
// actions, only the work that any program doing it cannot avoid, on the
// same files and with the same widgets.

#include "support/main_form_probe.h"
#include <QByteArray>
#include <QDate>
#include <QString>
#include <QStringList>
#include <functional>

class Main_form;
class QTableWidget;

QString Day_path(const QString& folder, const QDate& d);
QString Index_path(const QString& folder, int year);

// The whole file; the run ends when it cannot be read.
QByteArray Read_all(const QString& path);

// Reads and decodes the day's text and its index record and sets them into
// the panel's widgets: what any program showing that day must do.
void Floor_load(const Main_form_controls& form, const QString& folder, const QDate& d);

// A durable replace done plainly: temporary file, write, fdatasync, rename,
// fsync of the folder.
void Floor_replace(const QByteArray& folder, const QByteArray& path, const QByteArray& bytes);

// Reads and decodes the year's index, keeps the lines that pass, in date
// order, and fills the list with the same rows and the same look: header
// row, one row per record, an empty last row.
void Floor_list(QTableWidget* grid, const QString& index_path,
                const std::function<bool(const QString&)>& test);

// The floor of a backup: every file it takes read and its bytes written
// into one file, which is synced; no compression, no archive.
void Floor_backup(const QString& folder, const QStringList& files, const QString& target);

// The floor of the page of one date: each year's index and day file read
// and decoded, as plain files, without a window. Returns the characters
// decoded.
qint64 Floor_this_day(const QString& folder, int month, int day);
