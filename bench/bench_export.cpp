// The export of a whole diary to Markdown against its floor, one table row:
//
// - the export (Run_export into a fresh folder);
// - the floor: every year folder listed, its index and each day file read
//   and decoded from code page 932, and the same Markdown bytes written
//   with the same safe replace (temporary file, flush, rename), the folder
//   synced once at the end.
//
//   bench_export [--samples N] <program folder>
//
// prints the medians with their spread (fastest – slowest), the ratio and
// whether the goal (≤ 3 s and ≤ 1.20 × the floor) was met. After one
// untimed export, the two take turns at going first, so that neither
// always meets the caches and the disk as the other left them.

#include "bench/harness.h"
#include "diary/export.h"
#include "store/line_file.h"
#include "store/safe_replace.h"
#include "store/store.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <vector>

namespace {

// Reads and decodes what the export reads, and writes the bytes it wrote.
qint64 Floor(const QString& diary, const QString& out, const QMap<QString, QByteArray>& files)
{
    qint64 characters = 0;
    for (int year = 1990; year <= 2100; ++year) {
        const QString folder = diary + QString::number(year) + QLatin1Char('/');
        DIR* dir = ::opendir(QFile::encodeName(folder).constData());
        if (!dir)
            continue;
        bool exists = false;
        QByteArray bytes;
        Read_file_bytes(folder + QStringLiteral("keyword.txt"), bytes, exists);
        characters += Diary_store::Text_of_file(bytes).size();
        while (const dirent* entry = ::readdir(dir)) {
            const QByteArray name(entry->d_name);
            if (name.size() != 8 || !name.endsWith(".txt"))
                continue;
            Read_file_bytes(folder + QString::fromLatin1(name), bytes, exists);
            characters += Diary_store::Text_of_file(bytes).size();
        }
        ::closedir(dir);
        const QString file = QString::number(year) + QStringLiteral(".md");
        Replace_file(out + file, files.value(file), Folder_sync::Later);
    }
    Sync_folder(out);
    return characters;
}

}  // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    const QCommandLineOption samples_option(QStringLiteral("samples"), QStringLiteral("samples"),
                                            QStringLiteral("N"), QStringLiteral("5"));
    parser.addOption(samples_option);
    parser.addPositionalArgument(QStringLiteral("folder"), QStringLiteral("program folder"));
    parser.process(app);
    if (parser.positionalArguments().size() != 1)
        parser.showHelp(2);
    const QString diary = QDir(parser.positionalArguments().constFirst()).absolutePath() + '/';
    const int samples = std::max(1, parser.value(samples_option).toInt());

    std::vector<double> exports;
    std::vector<double> floors;
    QMap<QString, QByteArray> files;
    int days = 0;
    auto run_export = [&]() {
        QTemporaryDir out_dir(QDir::tempPath() + QStringLiteral("/bench-export-XXXXXX"));
        const QString out = out_dir.path() + '/';
        Diary_store store(diary);
        const Steady::time_point start = Steady::now();
        const Export_report report = Run_export(store, Export_format::Markdown, out, {});
        const double ms = Ms_since(start);
        if (!report.Ok()) {
            std::fprintf(stderr, "%s\n", qPrintable(Export_summary(report)));
            std::exit(1);
        }
        days = report.days;
        if (files.isEmpty()) {
            for (const QString& name : QDir(out).entryList(QDir::Files)) {
                bool exists = false;
                Read_file_bytes(out + name, files[name], exists);
            }
        }
        return ms;
    };
    auto run_floor = [&]() {
        QTemporaryDir floor_dir(QDir::tempPath() + QStringLiteral("/bench-export-XXXXXX"));
        const Steady::time_point start = Steady::now();
        Floor(diary, floor_dir.path() + '/', files);
        return Ms_since(start);
    };
    // One export untimed: the bytes the floor writes, and the diary's files
    // in the page cache for both. Then the two take turns at going first.
    run_export();
    for (int i = 0; i < samples; ++i) {
        if (i % 2 == 0) {
            exports.push_back(run_export());
            floors.push_back(run_floor());
        } else {
            floors.push_back(run_floor());
            exports.push_back(run_export());
        }
    }
    const Spread e = Spread_of(exports);
    const Spread f = Spread_of(floors);
    const double ratio = e.median / f.median;
    const bool met = e.median <= 3000 && ratio <= 1.20;
    std::printf("| export to Markdown (%d days, %d files) | %.0f ms (%.0f–%.0f) | %.0f ms "
                "(%.0f–%.0f) | %.2f × | ≤ 3 s, ≤ 1.20 × | %s |\n",
                days, int(files.size()), e.median, e.low, e.high, f.median, f.low, f.high, ratio,
                met ? "met" : "MISSED");
    return 0;
}
