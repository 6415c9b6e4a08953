// A locked diary: the unlock (the key file read, Argon2id of the password
// with the file's limits, the diary key unwrapped) against Argon2id alone,
// then the day step and the save in the locked diary against their floors
// (the same floors as bench_steps: the file's bytes read or written raw,
// here the sealed bytes, so that sealing and opening are all in the ratio).
//
//   bench_lock [--samples N] [--unlocks N] <program folder>
//
// A plain folder is locked first (the time of the whole conversion is a
// note), so it is given a copy of a diary, as bench_steps is; the
// conversion's backup goes to a temporary folder. A folder this program
// locked before is used as it is. The days are picked by their plain sizes.

#include "app/main_form.h"
#include "bench/bench_days.h"
#include "bench/harness.h"
#include "bench/main_window_shown.h"
#include "bench/step_benchmarks.h"
#include "diary/lock_conversion.h"
#include "platform/clock_real.h"
#include "platform/platform_real.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QFile>
#include <QTemporaryDir>
#include <sodium.h>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("A locked diary's unlock, step and save."));
    parser.addHelpOption();
    const QCommandLineOption samples_option(QStringLiteral("samples"),
                                            QStringLiteral("Samples of step and save (41)."),
                                            QStringLiteral("n"), QStringLiteral("41"));
    const QCommandLineOption unlocks_option(QStringLiteral("unlocks"),
                                            QStringLiteral("Unlocks timed (9)."),
                                            QStringLiteral("n"), QStringLiteral("9"));
    parser.addOption(samples_option);
    parser.addOption(unlocks_option);
    parser.addPositionalArgument(QStringLiteral("folder"), QStringLiteral("A copy of a diary."));
    parser.process(app);
    if (parser.positionalArguments().size() != 1)
        Fail("give one program folder");
    QString folder = parser.positionalArguments().first();
    if (!folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');
    const int samples = std::max(3, parser.value(samples_option).toInt());
    const int unlocks = std::max(3, parser.value(unlocks_option).toInt());
    const QByteArray password = QByteArrayLiteral("ベンチの合言葉");

    const QString days_file = folder + QStringLiteral("../bench-lock-days");
    std::vector<Diary_day> days;
    if (!lock::Folder_is_locked(folder)) {
        // The days as bench_steps picks them, kept beside the folder for the
        // runs after this one.
        days = Openable_days(folder);
        QFile kept(days_file);
        if (!kept.open(QIODevice::WriteOnly))
            Fail("the days could not be kept");
        for (const Diary_day& d : days)
            kept.write(d.date.toString(Qt::ISODate).toLatin1() + ' ' + QByteArray::number(d.bytes) +
                       '\n');
        QTemporaryDir backups;
        if (!backups.isValid())
            Fail("no folder for the backup");
        QString recovery;
        const Steady::time_point converting = Steady::now();
        const lock::Conversion locked =
            lock::Lock_folder(folder, password, recovery, {}, backups.path() + QLatin1Char('/'));
        if (!locked.Ok())
            Fail("the diary could not be locked");
        Notes() << QStringLiteral("locking the diary (backup, %1 files sealed): %2 s")
                       .arg(locked.files)
                       .arg(Ms_since(converting) / 1000, 0, 'f', 1);
    }

    // The unlock against Argon2id alone with the same salt and limits.
    lock::Key_file file;
    if (!lock::Read_key_file(folder, file).Ok())
        Fail("the key file could not be read");
    std::vector<double> unlock_ms, floor_ms;
    for (int i = 0; i < unlocks; ++i) {
        lock::Forget_keys();
        Steady::time_point start = Steady::now();
        lock::Key_file read;
        lock::Diary_key key;
        if (!lock::Read_key_file(folder, read).Ok() ||
            lock::Open_with_password(read, password, key) != lock::Open_result::Opened)
            Fail("the password did not open the diary");
        unlock_ms.push_back(Ms_since(start));

        unsigned char derived[32];
        start = Steady::now();
        if (crypto_pwhash(
                derived, sizeof derived, password.constData(), std::size_t(password.size()),
                reinterpret_cast<const unsigned char*>(file.salt.constData()), file.limits.opslimit,
                file.limits.memlimit, crypto_pwhash_ALG_ARGON2ID13) != 0)
            Fail("Argon2id failed");
        floor_ms.push_back(Ms_since(start));
        sodium_memzero(derived, sizeof derived);
    }
    const Spread unlock = Spread_of(unlock_ms);
    Row(QStringLiteral("unlock (key file, Argon2id %1 passes, %2 MiB)")
            .arg(file.limits.opslimit)
            .arg(file.limits.memlimit >> 20),
        unlock.median, Spread_of(floor_ms).median, "ms", 0, 1000);
    Notes() << QStringLiteral("unlock: %1 runs, median %2 ms, %3")
                   .arg(unlocks)
                   .arg(unlock.median, 0, 'f', 1)
                   .arg(Min_max_words(unlock_ms));

    lock::Key_file opened_file;
    lock::Diary_key key;
    if (!lock::Read_key_file(folder, opened_file).Ok() ||
        lock::Open_with_password(opened_file, password, key) != lock::Open_result::Opened)
        Fail("the password did not open the diary");
    lock::Register_key(folder, key);

    Count_events(app);
    Real_platform platform;
    Real_clock clock;
    Main_form form(platform, clock, folder);
    if (!Start_and_show(form))
        Fail("start-up failed");
    Settle();
    if (days.empty()) {
        QFile kept(days_file);
        if (!kept.open(QIODevice::ReadOnly))
            Fail("a folder locked before, without the days of its first run");
        for (const QByteArray& line : kept.readAll().split('\n'))
            if (const QList<QByteArray> f = line.split(' '); f.size() == 2)
                days.push_back(
                    {QDate::fromString(QString::fromLatin1(f[0]), Qt::ISODate), f[1].toLongLong()});
    }
    const std::vector<Size_band> bands{{1500, 2600}, {26000, 32000}};
    for (const Size_band& band : bands)
        Bench_step(form, folder, days, band, samples);
    for (const Size_band& band : bands)
        Bench_save(form, folder, days, band, samples);
    Print_notes("Locked diary:");
    return 0;
}
