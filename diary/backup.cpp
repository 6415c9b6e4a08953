#include "diary/backup.h"

#include "store/diary_files.h"
#include "store/own_settings.h"
#include "store/safe_replace.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <algorithm>
#include <archive.h>
#include <archive_entry.h>
#include <cerrno>
#include <fcntl.h>
#include <malloc.h>
#include <memory>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QRegularExpression& Backup_name_pattern()
{
    static const QRegularExpression pattern(
        QStringLiteral("^sorane-(\\d{4})(\\d{2})(\\d{2})(?:-([1-9]\\d{0,3}))?\\.zip$"));
    return pattern;
}

QString With_slash(QString folder)
{
    if (!folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');
    return folder;
}

// A file of the diary that a backup takes: what holds the user's text in
// any form (days, indexes, messages, their exact texts, conflict copies of
// every kind, rescue files) and the settings, never a link.
bool Backed_up(const Folder_entry& entry, Diary_name kind)
{
    return entry.type == Entry_type::Regular &&
           (Holds_diary_text(kind) || kind == Diary_name::Settings);
}

// The archive being written, freed however the backup ends.
struct Archive_deleter {
    void operator()(archive* a) const { archive_write_free(a); }
};
struct Entry_deleter {
    void operator()(archive_entry* e) const { archive_entry_free(e); }
};

// errno of libarchive's last failure, or EIO when it named none.
int Archive_errno(archive* a)
{
    const int error = archive_errno(a);
    return error > 0 ? error : EIO;
}

class Archive_writer {
public:
    Archive_writer(const QString& app_dir_path, const std::atomic<bool>& cancel_flag)
        : app_dir(app_dir_path), cancel(cancel_flag)
    {}

    // Writes every file into the archive on fd. A failure of a diary file
    // names the file; a failure of the archive names archive_path.
    Io_result Write(int fd, const QStringList& files, const QString& archive_path,
                    const std::function<void(qint64 done)>& done_bytes)
    {
        writer.reset(archive_write_new());
        archive* a = writer.get();
        if (!a)
            return Io_result::Failure(Io_step::Write, ENOMEM, archive_path);
        if (archive_write_set_format_zip(a) != ARCHIVE_OK ||
            archive_write_set_options(a, "zip:compression=deflate") != ARCHIVE_OK ||
            archive_write_open_fd(a, fd) != ARCHIVE_OK)
            return Io_result::Failure(Io_step::Write, Archive_errno(a), archive_path);
        qint64 done = 0;
        for (const QString& relative : files) {
            if (cancel)
                return {};
            const Io_result r = Add(a, relative, archive_path, done, done_bytes);
            if (!r.Ok())
                return r;
        }
        if (archive_write_close(a) != ARCHIVE_OK)
            return Io_result::Failure(Io_step::Write, Archive_errno(a), archive_path);
        return Io_result::Success();
    }

private:
    Io_result Add(archive* a, const QString& relative, const QString& archive_path, qint64& done,
                  const std::function<void(qint64)>& done_bytes)
    {
        const QString path = app_dir + relative;
        const QByteArray encoded = QFile::encodeName(path);
        std::unique_ptr<archive_entry, Entry_deleter> entry(archive_entry_new());
        archive_entry_set_pathname(entry.get(), relative.toUtf8().constData());
        const bool folder = relative.endsWith(QLatin1Char('/'));
        const int fd = ::open(encoded.constData(),
                              (folder ? O_DIRECTORY : 0) | O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
        if (fd < 0)
            return Io_result{Io_step::Open, errno, path, folder};
        struct Closer {
            int fd;
            ~Closer() { ::close(fd); }
        } closer{fd};
        struct stat st {};
        if (::fstat(fd, &st) != 0)
            return Io_result{Io_step::Read, errno, path, folder};
        if (!folder && !S_ISREG(st.st_mode))
            return Io_result::Failure(Io_step::Not_a_regular_file, EINVAL, path);
        archive_entry_set_filetype(entry.get(), folder ? AE_IFDIR : AE_IFREG);
        archive_entry_set_perm(entry.get(), st.st_mode & 0777);
        archive_entry_set_mtime(entry.get(), st.st_mtim.tv_sec, st.st_mtim.tv_nsec);
        archive_entry_set_size(entry.get(), folder ? 0 : st.st_size);
        if (archive_write_header(a, entry.get()) != ARCHIVE_OK)
            return Io_result::Failure(Io_step::Write, Archive_errno(a), archive_path);
        if (folder)
            return Io_result::Success();

        // Exactly the size the header gave: a file that grows meanwhile is
        // taken as it was when opened (the store replaces files by rename,
        // so the open file does not change).
        qint64 left = st.st_size;
        char buffer[65536];
        while (left > 0) {
            if (cancel)
                return {};
            const ssize_t n =
                ::read(fd, buffer, std::size_t(std::min<qint64>(left, sizeof buffer)));
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                return Io_result::Failure(Io_step::Read, n < 0 ? errno : EIO, path);
            if (archive_write_data(a, buffer, std::size_t(n)) != n)
                return Io_result::Failure(Io_step::Write, Archive_errno(a), archive_path);
            left -= n;
            done += n;
            if (done_bytes)
                done_bytes(done);
        }
        return Io_result::Success();
    }

    QString app_dir;
    const std::atomic<bool>& cancel;
    std::unique_ptr<archive, Archive_deleter> writer;
};

// Each file goes in with its own deflate stream, whose buffers (about a
// quarter of a megabyte) are made and freed again per file. With the C
// library's default thresholds they are mapped and unmapped, or the heap's
// top grown and trimmed, every time: tens of thousands of page faults and
// TLB flushes, twenty times the work of the compression itself. Once a
// backup runs, such buffers are kept in the heap and reused instead; the
// heap keeps at most a few megabytes unused.
void Keep_compression_buffers()
{
    static std::once_flag once;
    std::call_once(once, [] {
        ::mallopt(M_MMAP_THRESHOLD, 1024 * 1024);
        ::mallopt(M_TRIM_THRESHOLD, 8 * 1024 * 1024);
    });
}

// Removes what the rotation gives up: only names the program gives its
// backups, and only regular files.
Io_result Rotate(const QString& folder, QDate today)
{
    const Folder_listing listing = List_folder(folder);
    if (!listing.error.Ok())
        return listing.error;
    QList<Backup_name> names;
    for (const Folder_entry& e : listing.entries)
        if (e.type == Entry_type::Regular)
            if (const std::optional<Backup_name> name =
                    Parse_backup_file_name(QFile::decodeName(e.name)))
                names.append(*name);
    const QList<Backup_name> old = Backups_to_remove(names, today);
    if (old.isEmpty())
        return Io_result::Success();
    Io_result result;
    for (const Backup_name& name : old) {
        const QString path = folder + Backup_file_name(name);
        if (::unlink(QFile::encodeName(path).constData()) != 0 && errno != ENOENT && result.Ok())
            result = Io_result::Failure(Io_step::Remove, errno, path);
    }
    if (const Io_result synced = Sync_folder(folder); !synced.Ok() && result.Ok())
        result = synced;
    return result;
}

}  // namespace

QString Backup_file_name(const Backup_name& name)
{
    const QString day = name.date.toString(QStringLiteral("yyyyMMdd"));
    if (name.sequence <= 1)
        return QStringLiteral("sorane-%1.zip").arg(day);
    return QStringLiteral("sorane-%1-%2.zip").arg(day).arg(name.sequence);
}

std::optional<Backup_name> Parse_backup_file_name(const QString& file_name)
{
    const QRegularExpressionMatch m = Backup_name_pattern().match(file_name);
    if (!m.hasMatch())
        return std::nullopt;
    const QDate date(m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt());
    if (!date.isValid())
        return std::nullopt;
    Backup_name name{date, 1};
    if (m.hasCaptured(4)) {
        name.sequence = m.captured(4).toInt();
        if (name.sequence < 2)  // "-1" is never given: the first has no number
            return std::nullopt;
    }
    return name;
}

QList<Backup_name> Backups_to_remove(const QList<Backup_name>& existing, QDate today)
{
    QList<Backup_name> past;
    for (const Backup_name& name : existing)
        if (name.date <= today)
            past.append(name);
    // Newest first.
    std::sort(past.begin(), past.end(), [](const Backup_name& a, const Backup_name& b) {
        return a.date != b.date ? a.date > b.date : a.sequence > b.sequence;
    });
    std::vector<bool> keep(std::size_t(past.size()), false);
    // The newest backup of each of the latest `count` periods that hold one.
    auto keep_latest = [&](int count, auto period_of) {
        qint64 last_period = 0;
        int kept = 0;
        for (qsizetype i = 0; i < past.size() && kept < count; ++i) {
            const qint64 period = period_of(past[i].date);
            if (kept > 0 && period == last_period)
                continue;
            keep[std::size_t(i)] = true;
            last_period = period;
            ++kept;
        }
    };
    keep_latest(7, [](QDate d) { return d.toJulianDay(); });
    keep_latest(4, [](QDate d) { return (d.toJulianDay() - (d.dayOfWeek() - 1)); });
    keep_latest(12, [](QDate d) { return qint64(d.year()) * 12 + d.month(); });
    // Today's are all kept until the day is over: a backup made by hand
    // after a regretted change must not take the morning's away.
    QList<Backup_name> removed;
    for (qsizetype i = 0; i < past.size(); ++i)
        if (!keep[std::size_t(i)] && past[i].date != today)
            removed.append(past[i]);
    return removed;
}

QStringList Diary_files(const QString& app_dir, Io_result& error)
{
    const QString dir = With_slash(app_dir);
    QStringList files;
    const Folder_listing top = List_folder(dir);
    error = top.error;
    if (!top.exists && error.Ok())
        error = Io_result::Folder_failure(Io_step::Read, ENOENT, dir);
    if (!error.Ok())
        return {};
    for (const Folder_entry& e : top.entries) {
        const Diary_name kind = Classify_top_name(e.name).kind;
        const QString name = QFile::decodeName(e.name);
        if (kind == Diary_name::Year_folder && e.type == Entry_type::Folder) {
            files.append(name + QLatin1Char('/'));
            const Folder_listing year = List_folder(dir + name);
            error = year.error;
            if (!error.Ok())
                return {};
            for (const Folder_entry& f : year.entries)
                if (Backed_up(f, Classify_year_name(f.name).kind))
                    files.append(name + QLatin1Char('/') + QFile::decodeName(f.name));
        } else if (kind != Diary_name::History_folder && Backed_up(e, kind)) {
            files.append(name);
        }
    }
    files.sort();
    return files;
}

QString Diary_backup_folder(const QString& backup_folder, const QString& app_dir)
{
    // The diary's real path, so that every way to the same folder gives the
    // same backups, and two folders of the same name elsewhere do not.
    const QByteArray real = Real_folder_path(app_dir);
    QString name = QFile::decodeName(real.mid(real.lastIndexOf('/') + 1)).left(40);
    for (QChar& c : name)
        if (c.unicode() < 0x20 || c == QLatin1Char('/') || c == QChar(0xFFFD))
            c = QLatin1Char('_');
    if (name.isEmpty() || name.startsWith(QLatin1Char('.')))
        name.prepend(QLatin1String("diary"));
    const QByteArray hash = QCryptographicHash::hash(real, QCryptographicHash::Sha256);
    return With_slash(backup_folder) + name + QLatin1Char('-') +
           QString::fromLatin1(hash.toHex().left(8)) + QLatin1Char('/');
}

QString Default_backup_folder() { return QDir::homePath() + QStringLiteral("/sorane-backup/"); }

QString Backup_settings_path(const QString& app_dir) { return Own_settings_path(app_dir); }

Backup_settings Read_backup_settings(const QString& app_dir)
{
    const Own_settings own = Read_own_settings(app_dir).values;
    Backup_settings settings;
    settings.folder =
        With_slash(own.backup_folder.isEmpty() ? Default_backup_folder() : own.backup_folder);
    settings.daily = own.backup_daily;
    return settings;
}

Io_result Write_backup_settings(const QString& app_dir, const Backup_settings& settings)
{
    return Change_own_settings(app_dir, [&settings](Own_settings& own) {
        own.backup_folder = settings.folder;
        own.backup_daily = settings.daily;
    });
}

Backup_outcome Write_backup(const QString& app_dir, const QString& folder_path, QDate today,
                            const std::atomic<bool>& cancel,
                            const std::function<void(int percent)>& progress)
{
    Keep_compression_buffers();
    Backup_outcome outcome;
    auto failed = [&](const Io_result& r) {
        outcome.error = r;
        return outcome;
    };

    // The chosen folder (made when missing, but not its parents), and in it
    // this diary's own: another diary's rotation never reaches these.
    if (const Io_result r = Make_folder(folder_path); !r.Ok() && r.step != Io_step::Sync_folder)
        return failed(r);
    const QString folder = Diary_backup_folder(folder_path, app_dir);
    if (const Io_result r = Make_folder(folder); !r.Ok() && r.step != Io_step::Sync_folder)
        return failed(r);
    Io_result list_error;
    const QStringList files = Diary_files(app_dir, list_error);
    if (!list_error.Ok())
        return failed(list_error);

    // The next free name of today: after the last one made today.
    const Folder_listing made = List_folder(folder);
    if (!made.error.Ok())
        return failed(made.error);
    Backup_name name{today, 1};
    for (const Folder_entry& e : made.entries)
        if (const std::optional<Backup_name> n = Parse_backup_file_name(QFile::decodeName(e.name));
            n && n->date == today)
            name.sequence = std::max(name.sequence, n->sequence + 1);

    qint64 total = 0;
    const QString dir = With_slash(app_dir);
    for (const QString& relative : files) {
        struct stat st {};
        if (::lstat(QFile::encodeName(dir + relative).constData(), &st) == 0 && S_ISREG(st.st_mode))
            total += st.st_size;
    }
    int last_percent = -1;
    auto tell = [&](qint64 done) {
        const int percent = total > 0 ? int(std::min<qint64>(99, done * 100 / total)) : 0;
        if (percent != last_percent && progress)
            progress(percent);
        last_percent = percent;
    };
    tell(0);

    for (;;) {
        const QString path = folder + Backup_file_name(name);
        Temp_file temp;
        if (const Io_result r = temp.Open(folder, path); !r.Ok())
            return failed(Io_result::Folder_failure(r.step, r.error_number, folder));
        Archive_writer writer(dir, cancel);
        const Io_result written = writer.Write(temp.Fd(), files, path, tell);
        if (cancel) {
            outcome.cancelled = true;
            return outcome;  // the temporary file goes with temp
        }
        if (!written.Ok())
            return failed(written);
        const Io_result placed = temp.Commit(path);
        if (placed.step == Io_step::Rename && placed.error_number == EEXIST &&
            name.sequence < 9999) {
            // Another copy of the program took the name meanwhile.
            ++name.sequence;
            continue;
        }
        if (!placed.Ok() && placed.step != Io_step::Sync_folder)
            return failed(placed);
        outcome.path = path;
        outcome.files = int(std::count_if(files.begin(), files.end(), [](const QString& f) {
            return !f.endsWith(QLatin1Char('/'));
        }));
        if (!placed.Ok())
            return failed(placed);
        break;
    }
    if (progress)
        progress(100);
    outcome.rotation_error = Rotate(folder, today);
    return outcome;
}

// ---- The worker.

Backup_job::Backup_job(QObject* parent) : QObject(parent)
{
    qRegisterMetaType<Backup_outcome>("Backup_outcome");
}

Backup_job::~Backup_job() { Cancel(); }

bool Backup_job::Start(const QString& app_dir, const QString& folder, QDate today)
{
    if (Running())
        return false;
    cancel_flag = false;
    const int run = ++generation;
    worker = std::thread([this, app_dir, folder, today, run] {
        const Backup_outcome outcome =
            Write_backup(app_dir, folder, today, cancel_flag, [this, run](int percent) {
                QMetaObject::invokeMethod(
                    this,
                    [this, run, percent] {
                        if (run == generation)
                            emit Progress(percent);
                    },
                    Qt::QueuedConnection);
            });
        QMetaObject::invokeMethod(
            this,
            [this, run, outcome] {
                if (run == generation)
                    Worker_done(outcome);
            },
            Qt::QueuedConnection);
    });
    return true;
}

void Backup_job::Worker_done(const Backup_outcome& outcome)
{
    if (worker.joinable())
        worker.join();
    emit Finished(outcome);
}

void Backup_job::Cancel()
{
    ++generation;
    cancel_flag = true;
    if (worker.joinable())
        worker.join();
}
