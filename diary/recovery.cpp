#include "diary/recovery.h"

#include "diary/folder_lock.h"
#include "diary/sealed_copies.h"
#include "store/line_file.h"
#include "store/safe_replace.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <cerrno>
#include <unistd.h>

namespace {

const QString Format_name = QStringLiteral("sorane-recovery");
constexpr int Format_version = 1;

}  // namespace

QByteArray Recovery_bytes(const Recovery_record& record)
{
    QJsonObject root;
    root.insert(QStringLiteral("format"), Format_name);
    root.insert(QStringLiteral("version"), Format_version);
    root.insert(QStringLiteral("written"), record.written.toString(Qt::ISODate));
    root.insert(QStringLiteral("folder"), record.folder);
    if (record.date) {
        QJsonObject day;
        day.insert(QStringLiteral("date"), record.date->Key());
        day.insert(QStringLiteral("text"), record.day.text);
        day.insert(QStringLiteral("memo"), record.day.memo);
        day.insert(QStringLiteral("flag"), record.day.flag);
        root.insert(QStringLiteral("day"), day);
    }
    if (record.message)
        root.insert(QStringLiteral("message"), *record.message);
    return QJsonDocument(root).toJson(QJsonDocument::Indented);
}

std::optional<Recovery_record> Parse_recovery(const QByteArray& bytes)
{
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return std::nullopt;
    const QJsonObject root = document.object();
    if (root.value(QStringLiteral("format")).toString() != Format_name ||
        root.value(QStringLiteral("version")).toInt() != Format_version)
        return std::nullopt;
    Recovery_record record;
    record.written =
        QDateTime::fromString(root.value(QStringLiteral("written")).toString(), Qt::ISODate);
    record.folder = root.value(QStringLiteral("folder")).toString();
    if (root.contains(QStringLiteral("day"))) {
        const QJsonObject day = root.value(QStringLiteral("day")).toObject();
        const std::optional<Panel_date> date =
            Parse_panel_date(day.value(QStringLiteral("date")).toString());
        const QJsonValue text = day.value(QStringLiteral("text"));
        const QJsonValue memo = day.value(QStringLiteral("memo"));
        if (!date || !text.isString() || !memo.isString())
            return std::nullopt;
        record.date = date->Clamped();
        record.day = {text.toString(), memo.toString(), day.value(QStringLiteral("flag")).toBool()};
    }
    if (const QJsonValue message = root.value(QStringLiteral("message")); message.isString())
        record.message = message.toString();
    if (record.Empty())
        return std::nullopt;
    return record;
}

// ---- The files

Recovery_files::Recovery_files(const QString& diary_folder, const QDateTime& start,
                               const QString& folder)
    : folder_path(folder.endsWith(QLatin1Char('/')) ? folder.chopped(1) : folder)
{
    // Folder_key names the folder by its real path: a diary opened through
    // a link finds the records made through its real name.
    prefix = QStringLiteral("recovery-") + Folder_key(diary_folder).mid(int(qstrlen("sorane-"))) +
             QLatin1Char('-');
    own_path = folder_path + QLatin1Char('/') + prefix +
               start.toString(QStringLiteral("yyyyMMdd-hhmmss")) +
               QStringLiteral("-%1.json").arg(::getpid());
    // The records of a locked diary are sealed with its key.
    sealed_copies::Tie(folder_path, diary_folder);
}

QString Recovery_files::Default_folder() { return Diary_session::User_rescue_folder(); }

QStringList Recovery_files::Earlier() const
{
    QStringList found;
    const QStringList names =
        QDir(folder_path)
            .entryList({prefix + QStringLiteral("*.json")}, QDir::Files | QDir::Hidden, QDir::Name);
    for (const QString& name : names) {
        const QString path = folder_path + QLatin1Char('/') + name;
        if (path != own_path)
            found << path;
    }
    return found;
}

Io_result Recovery_files::Read(const QString& path, std::optional<Recovery_record>& record)
{
    QByteArray bytes;
    bool exists = false;
    record.reset();
    const Io_result read = sealed_copies::Read(path, bytes, exists);
    if (read.Ok() && exists)
        record = Parse_recovery(bytes);
    return read;
}

Io_result Recovery_files::Write(const QString& path, const QByteArray& bytes)
{
    const QString folder = QFileInfo(path).absolutePath();
    if (!QFileInfo(folder).isDir()) {
        // The state folder's parents (~/.local/state) are made as the
        // desktop would; the folder itself is the user's alone.
        QDir().mkpath(QFileInfo(folder).absolutePath());
        const Io_result made = Make_folder(folder);
        if (!made.Ok() && made.step != Io_step::Sync_folder)
            return made;
    }
    return sealed_copies::Write(path, bytes);
}

Io_result Recovery_files::Remove(const QString& path)
{
    const QByteArray name = QFile::encodeName(path);
    if (::unlink(name.constData()) != 0)
        return errno == ENOENT ? Io_result::Success()
                               : Io_result::Failure(Io_step::Remove, errno, path);
    return Sync_folder(QFileInfo(path).absolutePath());
}

// ---- The writer

Recovery_writer::Recovery_writer(QString record_path, std::function<void(const Io_result&)> done)
    : path(std::move(record_path)), on_done(std::move(done))
{
    thread = std::thread([this] { Run(); });
}

Recovery_writer::~Recovery_writer()
{
    {
        std::lock_guard lock(mutex);
        stopping = true;
    }
    wake.notify_one();
    thread.join();
}

void Recovery_writer::Post_write(QByteArray bytes)
{
    {
        std::lock_guard lock(mutex);
        job = Job::Write;
        pending = std::move(bytes);
    }
    wake.notify_one();
}

void Recovery_writer::Post_remove()
{
    {
        std::lock_guard lock(mutex);
        job = Job::Remove;
        pending.clear();
    }
    wake.notify_one();
}

void Recovery_writer::Wait()
{
    std::unique_lock lock(mutex);
    idle.wait(lock, [this] { return job == Job::None && !busy; });
}

Io_result Recovery_writer::Last_result() const
{
    std::lock_guard lock(mutex);
    return last;
}

void Recovery_writer::Run()
{
    std::unique_lock lock(mutex);
    for (;;) {
        wake.wait(lock, [this] { return stopping || job != Job::None; });
        if (job == Job::None) {
            if (stopping)
                return;
            continue;
        }
        const Job doing = job;
        const QByteArray bytes = std::move(pending);
        job = Job::None;
        busy = true;
        lock.unlock();
        const Io_result result =
            doing == Job::Write ? Recovery_files::Write(path, bytes) : Recovery_files::Remove(path);
        if (on_done)
            on_done(result);
        lock.lock();
        last = result;
        busy = false;
        idle.notify_all();
    }
}
