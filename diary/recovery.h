#pragma once
// The recovery record: what the diary panel and the 明日へ window hold that
// is not on disk yet, kept in a small file outside the diary folder so that
// a crash, a kill or a power cut while typing loses at most the last
// seconds. One file per run and diary folder, in the user's own state
// folder ($XDG_STATE_HOME/sorane/, else ~/.local/state/sorane/), named
// "recovery-<hash of the folder's real path>-<start time>-<pid>.json", so
// that synchronising tools and the Windows program never see it. Records
// left by earlier runs are offered at the next start of the same folder.

#include "diary/panel_date.h"
#include "diary/session.h"
#include "store/io_result.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>

struct Recovery_record {
    QDateTime written;  // local time, whole seconds
    QString folder;     // the diary folder, as the run named it
    // The diary panel's day when it differed from its files.
    std::optional<Panel_date> date;
    Day_entry day;
    // The 明日へ window's message when the window was open and its message
    // differed from "tomorrow.txt".
    std::optional<QString> message;

    bool Empty() const { return !date && !message; }
    friend bool operator==(const Recovery_record&, const Recovery_record&) = default;
};

// The record as UTF-8 JSON: every string exactly as typed.
QByteArray Recovery_bytes(const Recovery_record& record);
// Empty when the bytes are no record of this program.
std::optional<Recovery_record> Parse_recovery(const QByteArray& bytes);

// The records of one diary folder.
class Recovery_files {
public:
    // folder is where records live (Default_folder() unless a test says).
    Recovery_files(const QString& diary_folder, const QDateTime& start,
                   const QString& folder = Default_folder());
    static QString Default_folder();

    // This run's record.
    const QString& Own_path() const { return own_path; }
    // The records of earlier runs on this diary folder, oldest first.
    QStringList Earlier() const;

    static Io_result Read(const QString& path, std::optional<Recovery_record>& record);
    // Durably replaces (or makes) the record; the folder is made 0700.
    static Io_result Write(const QString& path, const QByteArray& bytes);
    // Removes the record; a record already gone is no failure.
    static Io_result Remove(const QString& path);

private:
    QString folder_path;
    QString prefix;  // "recovery-<hash>-"
    QString own_path;
};

// Writes and removes one record on its own thread, so that the disk's
// flushes never fall on the window's thread. What is posted last wins: a
// write still waiting is replaced by the next one.
class Recovery_writer {
public:
    // done, when given, hears the outcome of each write or removal, on the
    // writer's thread.
    explicit Recovery_writer(QString record_path, std::function<void(const Io_result&)> done = {});
    // Carries out what was posted last, then ends the thread.
    ~Recovery_writer();
    Recovery_writer(const Recovery_writer&) = delete;
    Recovery_writer& operator=(const Recovery_writer&) = delete;

    void Post_write(QByteArray bytes);
    void Post_remove();
    // Waits until everything posted is on disk (or failed).
    void Wait();
    // The outcome of the last write or removal carried out.
    Io_result Last_result() const;
    const QString& Path() const { return path; }

private:
    void Run();

    QString path;
    std::function<void(const Io_result&)> on_done;
    mutable std::mutex mutex;
    std::condition_variable wake;
    std::condition_variable idle;
    enum class Job {
        None,
        Write,
        Remove
    } job = Job::None;
    QByteArray pending;
    bool busy = false;
    bool stopping = false;
    Io_result last;
    std::thread thread;
};
