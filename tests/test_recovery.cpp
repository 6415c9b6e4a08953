// What is typed and not saved survives a kill: the real main window runs in
// fault_driver, types key by key, and is killed with SIGKILL three seconds
// later; the next start offers what it kept, and the day's files are
// compared byte for byte with fixtures written here.

#include "support/temp_folder.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QtTest>

#include <csignal>

namespace {

const QString Day = QStringLiteral("2026-12-07");

// 絵文字😀と𠮷野家とcafé / 二行目 typed as the day's text, and its
// substitutes in the Shift_JIS file.
const QByteArray Text_file = Hex("8a 47 95 b6 8e 9a 3f 82 c6 3f 96 ec 89 c6 82 c6 63 61 66 3f 0d 0a"
                                 "93 f1 8d 73 96 da 0d 0a");
const QByteArray Text_companion = QStringLiteral("\n絵文字😀と𠮷野家とcafé\n二行目").toUtf8();
// 誕生日🎂 typed as the memo, 思い出 ticked, no text.
const QByteArray Memo_record = Hex("32 30 32 36 2f 31 32 2f 30 37 31 92 61 90 b6 93 fa 3f 0d 0a");
// 明日のわたしへ🎂 / 元気で typed into 明日へ.
const QByteArray Message_file = Hex("96 be 93 fa 82 cc 82 ed 82 bd 82 b5 82 d6 3f 0d 0a"
                                    "8c b3 8b 43 82 c5 0d 0a");
const QByteArray Message_companion = QStringLiteral("\n明日のわたしへ🎂\n元気で").toUtf8();

}  // namespace

class Test_recovery : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<Temp_folder> folder;
    std::unique_ptr<Temp_folder> state;

    QString state_home;

    QProcessEnvironment Environment() const
    {
        QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
        e.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        e.insert(QStringLiteral("XDG_STATE_HOME"), state_home);
        return e;
    }
    QString Records() const { return state->Path() + QStringLiteral("state/sorane"); }
    QStringList Record_names() const
    {
        return QDir(Records()).entryList({QStringLiteral("recovery-*.json")}, QDir::Files);
    }

    // Types into the part, waits three seconds and kills the program; the
    // line it printed once typed is returned, and everything it printed in
    // printed.
    QString Type_and_kill(const QString& part, QStringList* printed = nullptr)
    {
        QProcess process;
        process.setProcessEnvironment(Environment());
        process.start(QStringLiteral(FAULT_DRIVER),
                      {folder->Path(), Day, QStringLiteral("type"), part});
        QString said;
        auto typed = [&said] {
            const QStringList lines = said.split(QLatin1Char('\n'));
            return lines.contains(QStringLiteral("TYPED")) ||
                   lines.contains(QStringLiteral("QUESTION"));
        };
        for (int i = 0; i < 60 && !typed() && process.state() == QProcess::Running; ++i)
            if (process.waitForReadyRead(1000))
                said += QString::fromUtf8(process.readAllStandardOutput());
        QTest::qWait(3000);
        ::kill(pid_t(process.processId()), SIGKILL);
        process.waitForFinished(10000);
        said += QString::fromUtf8(process.readAllStandardOutput());
        const QStringList lines = said.split(QLatin1Char('\n'));
        if (printed)
            *printed = lines;
        for (const QString& line : lines)
            if (line == QLatin1String("TYPED") || line == QLatin1String("QUESTION"))
                return line;
        return said;
    }

    // Starts again and answers the offer; the output's lines.
    QStringList Recover(const QString& answer)
    {
        QProcess process;
        process.setProcessEnvironment(Environment());
        process.start(QStringLiteral(FAULT_DRIVER),
                      {folder->Path(), Day, QStringLiteral("recover"), answer});
        if (!process.waitForFinished(60000))
            return {};
        return QString::fromUtf8(process.readAllStandardOutput()).split(QLatin1Char('\n'));
    }

    static QString Offer(const QStringList& lines)
    {
        const QStringList offers = lines.filter(QStringLiteral("前回、保存する前に"));
        return offers.size() == 1 ? offers.front() : QString();
    }

private slots:
    void init()
    {
        folder = std::make_unique<Temp_folder>();
        state = std::make_unique<Temp_folder>();
        state_home = state->Path() + QStringLiteral("state");
    }

    void The_text_is_offered_and_put_back_after_a_kill()
    {
        QCOMPARE(Type_and_kill(QStringLiteral("text")), QStringLiteral("TYPED"));
        // The record, the user's alone, outside the diary folder.
        QCOMPARE(Record_names().size(), 1);
        QCOMPARE(Mode_of(Records()), 0700);
        QCOMPARE(Mode_of(Records() + QLatin1Char('/') + Record_names().front()), 0600);
        QVERIFY(!QFile::exists(folder->File(QStringLiteral("2026/1207.txt"))));

        // Decided later: nothing written, the record stays and is offered again.
        QString offer = Offer(Recover(QStringLiteral("later")));
        QVERIFY2(offer.contains(QStringLiteral("2026年12月7日の日記： | 　絵文字😀と𠮷野家とcafé | "
                                               "　二行目 | ")),
                 qPrintable(offer));
        QVERIFY(offer.contains(QStringLiteral("（2026年12月7日 21時30分の記録）")));
        QVERIFY(!QFile::exists(folder->File(QStringLiteral("2026/1207.txt"))));
        QCOMPARE(Record_names().size(), 1);

        offer = Offer(Recover(QStringLiteral("yes")));
        QVERIFY(!offer.isEmpty());
        QCOMPARE(Read_bytes(folder->File(QStringLiteral("2026/1207.txt"))), Text_file);
        QCOMPARE(Read_bytes(folder->File(QStringLiteral("2026/1207.utf8.txt"))), Text_companion);
        QCOMPARE(Record_names(), QStringList());
        // Nothing left to offer.
        QCOMPARE(Offer(Recover(QStringLiteral("yes"))), QString());
    }

    void The_memo_and_the_message_are_put_back()
    {
        QCOMPARE(Type_and_kill(QStringLiteral("memo")), QStringLiteral("TYPED"));
        QVERIFY(Offer(Recover(QStringLiteral("yes")))
                    .contains(QStringLiteral(
                        "2026年12月7日の日記（思い出・メモ「誕生日🎂」）： | 　（本文なし） | ")));
        QCOMPARE(Read_bytes(folder->File(QStringLiteral("2026/keyword.txt"))), Memo_record);
        QCOMPARE(Read_bytes(folder->File(QStringLiteral("2026/1207.utf8.txt"))),
                 QStringLiteral("誕生日🎂\n").toUtf8());

        QCOMPARE(Type_and_kill(QStringLiteral("tomorrow")), QStringLiteral("TYPED"));
        QVERIFY(
            Offer(Recover(QStringLiteral("yes")))
                .contains(QStringLiteral("明日へのメッセージ： | 　明日のわたしへ🎂 | 　元気で")));
        QCOMPARE(Read_bytes(folder->File(QStringLiteral("tomorrow.txt"))), Message_file);
        QCOMPARE(Read_bytes(folder->File(QStringLiteral("tomorrow.utf8.txt"))), Message_companion);
        QCOMPARE(Record_names(), QStringList());
    }

    void A_composed_word_is_kept_once_committed()
    {
        QCOMPARE(Type_and_kill(QStringLiteral("composed")), QStringLiteral("TYPED"));
        QVERIFY(!Offer(Recover(QStringLiteral("yes"))).isEmpty());
        // 今日😀; the word still composing (あした) was never typed.
        QCOMPARE(Read_bytes(folder->File(QStringLiteral("2026/1207.txt"))),
                 Hex("8d a1 93 fa 3f 0d 0a"));
        QCOMPARE(Read_bytes(folder->File(QStringLiteral("2026/1207.utf8.txt"))),
                 QStringLiteral("\n今日😀").toUtf8());
    }

    void A_record_that_cannot_be_written_is_told_once()
    {
        // A file where the records' folder would be made.
        QVERIFY(QDir().mkpath(state_home));
        QVERIFY(Write_bytes(state_home + QStringLiteral("/sorane"), "x"));
        QStringList printed;
        QCOMPARE(Type_and_kill(QStringLiteral("text"), &printed), QStringLiteral("TYPED"));
        const QStringList told = printed.filter(QStringLiteral("復元用の記録に書けませんでした"));
        QCOMPARE(told.size(), 1);
        QVERIFY2(
            told.front().contains(QStringLiteral("フォルダー: %1/sorane | 理由: "
                                                 "フォルダーの場所に同じ名前のファイルがあります。")
                                      .arg(state_home)),
            qPrintable(told.front()));
    }

    void A_kill_while_a_save_asks()
    {
        QCOMPARE(Type_and_kill(QStringLiteral("question")), QStringLiteral("QUESTION"));
        // Written out to a file: the day as the other program left it.
        const QStringList lines = Recover(QStringLiteral("no"));
        QVERIFY(!Offer(lines).isEmpty());
        QCOMPARE(Read_bytes(folder->File(QStringLiteral("2026/1207.txt"))),
                 QByteArray("Windows\r\n"));
        const QStringList rescues =
            QDir(folder->Path()).entryList({QStringLiteral("sorane-rescue-*.txt")}, QDir::Files);
        QCOMPARE(rescues.size(), 1);
        QVERIFY(Read_bytes(folder->File(rescues.front()))
                    .contains(QStringLiteral("日付: 2026/12/07\n思い出: なし\nメモ: \n本文:\n"
                                             "絵文字😀と𠮷野家とcafé\n二行目\n")
                                  .toUtf8()));
        QCOMPARE(Record_names(), QStringList());

        // Put back: the other program's version goes to the history. It
        // writes the day afresh.
        QVERIFY(QFile::remove(folder->File(QStringLiteral("2026/1207.txt"))));
        QCOMPARE(Type_and_kill(QStringLiteral("question")), QStringLiteral("QUESTION"));
        QVERIFY(!Offer(Recover(QStringLiteral("yes"))).isEmpty());
        QCOMPARE(Read_bytes(folder->File(QStringLiteral("2026/1207.txt"))), Text_file);
        QCOMPARE(Read_bytes(folder->File(QStringLiteral("2026/1207.utf8.txt"))), Text_companion);
        const QStringList kept = QDir(folder->File(QStringLiteral("history/2026/1207")))
                                     .entryList({QStringLiteral("*.txt")}, QDir::Files);
        QCOMPARE(kept.size(), 1);
        QCOMPARE(Read_bytes(folder->File(QStringLiteral("history/2026/1207/") + kept.front())),
                 QByteArray("Windows\r\n"));
    }
};

QTEST_GUILESS_MAIN(Test_recovery)
#include "test_recovery.moc"
