// Runs a fuzz target once over every file of the folders (or the files)
// given, in name order, without libFuzzer: the everyday build replays each
// seed corpus this way. Fails when a folder holds no input at all.

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cstdint>
#include <cstdio>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s folder-or-file...\n", argv[0]);
        return 2;
    }
    int inputs = 0;
    auto run = [&](const QString& path) {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly)) {
            std::fprintf(stderr, "cannot read %s\n", qPrintable(path));
            return false;
        }
        const QByteArray bytes = file.readAll();
        std::fprintf(stderr, "%s (%lld bytes)\n", qPrintable(path),
                     static_cast<long long>(bytes.size()));
        LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(bytes.constData()),
                               size_t(bytes.size()));
        ++inputs;
        return true;
    };
    for (int i = 1; i < argc; ++i) {
        const QString arg = QFile::decodeName(argv[i]);
        if (QFileInfo(arg).isDir()) {
            const QStringList names = QDir(arg).entryList(QDir::Files, QDir::Name);
            if (names.isEmpty()) {
                std::fprintf(stderr, "no inputs in %s\n", argv[i]);
                return 1;
            }
            for (const QString& name : names)
                if (!run(QDir(arg).filePath(name)))
                    return 1;
        } else if (!run(arg)) {
            return 1;
        }
    }
    std::fprintf(stderr, "%d inputs replayed, every check held\n", inputs);
    return 0;
}
