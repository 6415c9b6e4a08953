#include "bench/step_floors.h"

#include "app/main_form.h"
#include "bench/harness.h"
#include "platform/cp932.h"
#include "store/line_file.h"
#include "store/store.h"
#include "support/main_form_probe.h"

#include <QCheckBox>
#include <QFile>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTableWidget>
#include <algorithm>
#include <fcntl.h>
#include <unistd.h>

QString Day_path(const QString& folder, const QDate& d)
{
    return folder + d.toString(QStringLiteral("yyyy/MMdd.txt"));
}

QString Index_path(const QString& folder, int year)
{
    return folder + QStringLiteral("%1/keyword.txt").arg(year, 4, 10, QLatin1Char('0'));
}

QByteArray Read_all(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        Fail("a file the floor reads is missing");
    return file.readAll();
}

// Reads and decodes the day's text and its index record and sets them into
// the panel's widgets: what any program showing that day must do.
void Floor_load(const Main_form_controls& form, const QString& folder, const QDate& d)
{
    QByteArray bytes = Read_all(Day_path(folder, d));
    if (bytes.endsWith("\r\n"))
        bytes.chop(2);
    form.Text2->setPlainText(
        cp932::Decode_text(bytes).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));

    const QByteArray index = Read_all(Index_path(folder, d.year()));
    const QByteArray key = QStringLiteral("%1/%2/%3")
                               .arg(d.year(), 4, 10, QLatin1Char('0'))
                               .arg(d.month(), 2, 10, QLatin1Char('0'))
                               .arg(d.day(), 2, 10, QLatin1Char('0'))
                               .toLatin1();
    qsizetype at = index.startsWith(key) ? 0 : index.indexOf("\n" + key);
    if (at < 0)
        Fail("a day the floor loads has no record");
    if (at > 0)
        ++at;
    qsizetype end = index.indexOf('\r', at);
    if (end < 0)
        end = index.size();
    const QByteArrayView line = QByteArrayView(index).sliced(at, end - at);
    form.Check1->setChecked(line.size() > 10 && line[10] == '1');
    form.Text6->setText(cp932::Decode_text(line.size() > 11 ? line.sliced(11) : QByteArrayView()));
}

// A durable replace done plainly: temporary file, write, fdatasync, rename,
// fsync of the folder.
void Floor_replace(const QByteArray& folder, const QByteArray& path, const QByteArray& bytes)
{
    const QByteArray temp = path + ".floor-tmp";
    const int fd = ::open(temp.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0 || ::write(fd, bytes.constData(), size_t(bytes.size())) != bytes.size() ||
        ::fdatasync(fd) != 0 || ::close(fd) != 0 ||
        ::rename(temp.constData(), path.constData()) != 0)
        Fail("the floor's replace failed");
    const int dir = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir < 0 || ::fsync(dir) != 0 || ::close(dir) != 0)
        Fail("the floor's folder sync failed");
}

namespace {

QTableWidgetItem* Floor_item(const QString& text, bool fixed_look, bool selectable,
                             const QColor& fixed)
{
    auto* item = new QTableWidgetItem(text);
    item->setTextAlignment(Qt::AlignLeft | Qt::AlignBottom);
    if (fixed_look)
        item->setBackground(fixed);
    item->setFlags(selectable ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::ItemIsEnabled);
    return item;
}

}  // namespace

// Reads and decodes the year's index, keeps the lines that pass, in date
// order, and fills the list with the same rows and the same look: header
// row, one row per record, an empty last row.
void Floor_list(QTableWidget* grid, const QString& index_path,
                const std::function<bool(const QString&)>& test)
{
    const QByteArray bytes = Read_all(index_path);
    QStringList lines;
    for (QByteArrayView rest(bytes); !rest.isEmpty();) {
        qsizetype end = rest.indexOf('\n');
        if (end < 0)
            end = rest.size();
        QByteArrayView line = rest.first(end);
        if (line.endsWith('\r'))
            line.chop(1);
        const QString decoded = cp932::Decode_text(line);
        if (test(decoded))
            lines.append(decoded);
        rest = rest.sliced(std::min(end + 1, rest.size()));
    }
    std::stable_sort(lines.begin(), lines.end());
    const QColor fixed = grid->palette().color(QPalette::Button);
    grid->setRowCount(0);
    grid->setRowCount(int(lines.size()) + 2);
    grid->setItem(0, 0, Floor_item(QStringLiteral("年/月/日"), true, false, fixed));
    grid->setItem(0, 1, Floor_item(QStringLiteral("メ　モ"), true, false, fixed));
    int row = 1;
    for (const QString& line : lines) {
        grid->setItem(row, 0, Floor_item(line.left(10), true, true, fixed));
        grid->setItem(row, 1,
                      Floor_item(line.size() > 11 ? line.mid(11) : QString(), false, true, fixed));
        ++row;
    }
    grid->setItem(row, 0, Floor_item(QString(), true, true, fixed));
    grid->setItem(row, 1, Floor_item(QString(), false, true, fixed));
}

// The floor of a backup: every file it takes read and its bytes written
// into one file, which is synced; no compression, no archive.
void Floor_backup(const QString& folder, const QStringList& files, const QString& target)
{
    const int out = ::open(QFile::encodeName(target).constData(),
                           O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (out < 0)
        Fail("the floor's backup file could not be made");
    for (const QString& relative : files) {
        if (relative.endsWith(QLatin1Char('/')))
            continue;
        const QByteArray bytes = Read_all(folder + relative);
        if (::write(out, bytes.constData(), std::size_t(bytes.size())) != bytes.size())
            Fail("the floor's backup file could not be written");
    }
    if (::fdatasync(out) != 0 || ::close(out) != 0)
        Fail("the floor's backup file could not be synced");
}

// The floor of the page of one date: each year's index and day file read
// and decoded, as plain files, without a window.
qint64 Floor_this_day(const QString& folder, int month, int day)
{
    qint64 characters = 0;
    const QString stem = QStringLiteral("/%1%2.txt")
                             .arg(month, 2, 10, QLatin1Char('0'))
                             .arg(day, 2, 10, QLatin1Char('0'));
    for (int year = First_year; year <= Last_year; ++year) {
        const QString year_folder = folder + QString::number(year);
        QByteArray bytes;
        bool exists = false;
        if (!Read_file_bytes(year_folder + QStringLiteral("/keyword.txt"), bytes, exists).Ok() ||
            !exists)
            continue;
        characters += Day_record_in(bytes, Diary_store::Date_key(year, month, day)).memo.size();
        if (Read_file_bytes(year_folder + stem, bytes, exists).Ok() && exists)
            characters += cp932::Decode_text(bytes).size();
    }
    return characters;
}
