// The whole-text search of a diary, locked or plain, as the index answers
// it (no window): the index built from nothing (for a locked diary: in
// memory, then sealed into the cache), the first search of a fresh index
// object on the index left there (cold: for a locked diary the sealed file
// read, opened and loaded into memory), and searches with the index open
// and current (warm).
//
//   bench_locked_search [--runs N] [--word WORD]... <program folder>
// A locked diary's password is read from standard input (one line). The
// index goes into a temporary cache folder; the diary is only read.

#include "fulltext/fulltext.h"
#include "store/lock.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTextStream>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <iostream>
#include <string>
#include <vector>

namespace {

double Ms(const std::function<void()>& work)
{
    const auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
        .count();
}

void Print(const char* what, const QString& word, std::vector<double> values, size_t hits)
{
    std::sort(values.begin(), values.end());
    QString line = QStringLiteral("%1\t%2\thits %3\tmedian %4 ms\tmin %5\tmax %6\truns")
                       .arg(QLatin1String(what), word)
                       .arg(hits)
                       .arg(values[values.size() / 2], 0, 'f', 2)
                       .arg(values.front(), 0, 'f', 2)
                       .arg(values.back(), 0, 'f', 2);
    for (const double v : values)
        line += QStringLiteral(" %1").arg(v, 0, 'f', 1);
    std::printf("%s\n", line.toUtf8().constData());
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    const QCommandLineOption runs_option(QStringLiteral("runs"), QStringLiteral("runs"),
                                         QStringLiteral("N"), QStringLiteral("5"));
    const QCommandLineOption word_option(QStringLiteral("word"), QStringLiteral("a search"),
                                         QStringLiteral("WORD"));
    parser.addOptions({runs_option, word_option});
    parser.addPositionalArgument(QStringLiteral("folder"), QStringLiteral("program folder"));
    parser.process(app);
    if (parser.positionalArguments().size() != 1)
        parser.showHelp(2);
    const QString folder = parser.positionalArguments().constFirst();
    const int runs = std::max(1, parser.value(runs_option).toInt());
    QStringList words = parser.values(word_option);
    if (words.isEmpty())
        words = {QStringLiteral("雨"), QStringLiteral("散歩"), QStringLiteral("鍋")};

    if (lock::Folder_is_locked(folder)) {
        std::string password;
        std::getline(std::cin, password);
        lock::Key_file file;
        lock::Diary_key key;
        if (!lock::Read_key_file(folder, file).Ok()) {
            std::fprintf(stderr, "no key file\n");
            return 2;
        }
        lock::Open_result opened = lock::Open_result::Wrong_password;
        const double unlock = Ms([&] {
            opened = lock::Open_with_password(
                file, QByteArrayView(password.data(), qsizetype(password.size())), key);
        });
        if (opened != lock::Open_result::Opened) {
            std::fprintf(stderr, "the password does not open the diary\n");
            return 2;
        }
        lock::Register_key(folder, key);
        std::printf("unlock (Argon2id)\t%.1f ms\n", unlock);
    }

    QTemporaryDir cache;
    size_t hits = 0;
    std::vector<double> builds;
    for (int i = 0; i < std::max(1, runs / 2); ++i) {
        QDir(cache.path()).removeRecursively();
        builds.push_back(Ms([&] {
            Fulltext_index index(folder, cache.path(), Fold_options{},
                                 Fulltext_index::Start::Foreground);
            hits = index.Search({words.first(), 0, 9999, true}).hits.size();
        }));
    }
    Print("build and first search", words.first(), builds, hits);
    {
        Fulltext_index index(folder, cache.path(), Fold_options{}, Fulltext_index::Start::Never);
        std::printf("index file\t%s\t%lld bytes\n", index.Cache_path().toUtf8().constData(),
                    qint64(QFileInfo(index.Cache_path()).size()));
    }

    for (const QString& word : words) {
        std::vector<double> cold;
        std::vector<double> warm;
        for (int i = 0; i < runs; ++i) {
            Fulltext_index index(folder, cache.path(), Fold_options{},
                                 Fulltext_index::Start::Never);
            Fulltext_result result;
            cold.push_back(Ms([&] { result = index.Search({word, 0, 9999, true}); }));
            if (result.scanned)
                std::fprintf(stderr, "the index was not used: %s\n",
                             result.index_trouble.toUtf8().constData());
            hits = result.hits.size();
            for (int j = 0; j < 3; ++j)
                warm.push_back(Ms([&] { result = index.Search({word, 0, 9999, true}); }));
        }
        Print("cold", word, cold, hits);
        Print("warm", word, warm, hits);
    }
    // The most memory the process held: the index in memory, and for a
    // locked diary the sealed file and its opened bytes while loading.
    QFile status(QStringLiteral("/proc/self/status"));
    if (status.open(QIODevice::ReadOnly))
        for (const QByteArray& line : status.readAll().split('\n'))
            if (line.startsWith("VmHWM:"))
                std::printf("peak memory\t%s\n", line.mid(6).trimmed().constData());
    return 0;
}
