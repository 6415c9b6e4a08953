// The window's side of "sorane --add": the day being written gets the
// paragraph in its panel and nothing on disk until its own save; another
// day, or the panel's day unedited, is saved at once without disturbing
// what is typed; nothing is taken while a modal window is open.

#include "platform/app_title.h"
#include "support/diary_fixture.h"

#include <QDialog>
#include <QLabel>
#include <QPlainTextEdit>

namespace {

using Answer = Platform::Answer;
using Buttons = Platform::Buttons;
using Icon = Platform::Icon;
const QByteArray Terminal_bytes = Hex("92 5b 96 96 82 a9 82 e7");  // 端末から
const QString Terminal_text = QStringLiteral("端末から");

}  // namespace

class Test_cli_window : public QObject, Diary_fixture {
    Q_OBJECT

private slots:
    void init() { QVERIFY(Set_up()); }
    void cleanup() { Verify_clean(); }

    void The_day_being_written_gets_the_paragraph_in_its_panel()
    {
        auto form = Start();
        Write_diary_entry(*form);
        const auto before = File_tree(folder->Path());
        const Add_reply reply = form->Add_from_terminal({{2026, 12, 7}, Terminal_text});
        QCOMPARE(int(reply.kind), int(Add_reply::Kind::In_panel));
        QCOMPARE(reply.message,
                 QStringLiteral("2026/12/07 は画面で書きかけのため、端末からの文を日記の欄の最後に"
                                "加えました。まだ保存していません（日を移るか、Ctrl+S か、終了で"
                                "保存します）。"));
        QCOMPARE(Controls_of(*form).Text2->toPlainText(), Day_text + "\n\n" + Terminal_text);
        QCOMPARE(File_tree(folder->Path()), before);
        auto* news = form->findChild<QLabel*>("News_line");
        QVERIFY(news && news->isVisible());
        QCOMPARE(news->text(),
                 QStringLiteral("端末からの文を最後に加えました（まだ保存していません）。"));
        // The next edit takes it away.
        Controls_of(*form).Text2->moveCursor(QTextCursor::End);
        Controls_of(*form).Text2->insertPlainText("。");
        QVERIFY(!news->isVisible());
        // The window's own save writes both, once.
        End(*form);
        QCOMPARE(Read_bytes(At("2026/1207.txt")),
                 Day_file_bytes + Hex("0d 0a") + Terminal_bytes + Hex("81 42 0d 0a"));
        QCOMPARE(Read_bytes(At("2026/keyword.txt")), Today_record_saved);
    }

    void Another_day_is_saved_at_once_and_what_is_typed_stays()
    {
        auto form = Start();
        Write_diary_entry(*form);
        const Add_reply reply = form->Add_from_terminal({{2026, 12, 8}, Terminal_text});
        QCOMPARE(int(reply.kind), int(Add_reply::Kind::Saved));
        QCOMPARE(reply.message,
                 QStringLiteral("開いている日記の画面で、2026/12/08 の日記に追加しました。"));
        QCOMPARE(Read_bytes(At("2026/1208.txt")), Terminal_bytes + Hex("0d 0a"));
        QCOMPARE(Controls_of(*form).Text2->toPlainText(), Day_text);
        QVERIFY(form->Session().Edited({Day_text, Day_memo, true}));
        // The panel's save later keeps the other day's index record.
        End(*form);
        QCOMPARE(Read_bytes(At("2026/1207.txt")), Day_file_bytes);
        QCOMPARE(Read_bytes(At("2026/keyword.txt")),
                 Today_record_saved + QByteArray("2026/12/080\r\n"));
    }

    void The_panels_day_unedited_is_saved_and_shown()
    {
        auto form = Start();
        QCOMPARE(int(form->Add_from_terminal({{2026, 12, 7}, Terminal_text}).kind),
                 int(Add_reply::Kind::Saved));
        QCOMPARE(Read_bytes(At("2026/1207.txt")), Terminal_bytes + Hex("0d 0a"));
        QCOMPARE(Controls_of(*form).Text2->toPlainText(), Terminal_text);
        QVERIFY(!form->Session().Edited({Terminal_text, QString(), false}));
        End(*form);
        QCOMPARE(Read_bytes(At("2026/1207.txt")), Terminal_bytes + Hex("0d 0a"));
    }

    void A_day_the_panel_could_not_read_takes_nothing_into_the_panel()
    {
        QVERIFY(QDir().mkpath(At("2026/1207.txt")));
        const QString reason =
            QStringLiteral("ファイル: %1\n理由: ファイルの場所に同じ名前のフォルダーがあります。")
                .arg(At("2026/1207.txt"));
        fake->Expect_box(QStringLiteral("日記を読み込めませんでした。\n") + reason +
                             QStringLiteral("\n\nこの日の日記は、ファイルを守るため保存しません。"),
                         App_title, Icon::Exclamation, Buttons::Ok, Answer::Ok);
        auto form = Start();
        Controls_of(*form).Text2->insertPlainText(QStringLiteral("あ"));
        // Readable now: a save of the day would still be followed by the
        // panel's reload, over what is typed.
        QVERIFY(QDir().rmdir(At("2026/1207.txt")));
        const Add_reply reply = form->Add_from_terminal({{2026, 12, 7}, Terminal_text});
        QCOMPARE(int(reply.kind), int(Add_reply::Kind::Failed));
        QCOMPARE(
            reply.message,
            QStringLiteral("2026/12/07 は画面で読み込めなかった日のため、追加しませんでした。"));
        QCOMPARE(Controls_of(*form).Text2->toPlainText(), QStringLiteral("あ"));
        QVERIFY(!QFileInfo::exists(At("2026/1207.txt")));
        fake->Expect_box(
            QStringLiteral("読み込めなかった日記を上書きしないよう、保存しませんでした。\n") +
                reason +
                QStringLiteral("\n\nこのまま終了しますか？\n"
                               "「はい」：終了します。書いた日記は、プログラムのフォルダーの"
                               "「sorane-rescue-20261207-213015.txt」に書き出します。\n"
                               "「いいえ」：終了せずに、日記の画面に戻ります。"),
            App_title, Icon::Exclamation, Buttons::Yes_no, Answer::Yes);
        End(*form);
    }

    void Nothing_is_taken_while_a_modal_window_is_open()
    {
        auto form = Start();
        const auto before = File_tree(folder->Path());
        Add_reply reply;
        QDialog dialog(form.get());
        When_modal<QDialog>(this, [&](QDialog& open) {
            reply = form->Add_from_terminal({{2026, 12, 8}, Terminal_text});
            open.reject();
        });
        dialog.exec();
        QCOMPARE(int(reply.kind), int(Add_reply::Kind::Failed));
        QCOMPARE(
            reply.message,
            QStringLiteral("日記の画面で別の窓や問い合わせが開いているため、2026/12/08 に"
                           "追加しませんでした。その窓を閉じてから、もう一度実行してください。"));
        QCOMPARE(File_tree(folder->Path()), before);
        End(*form);
    }
};

QTEST_MAIN(Test_cli_window)
#include "test_cli_window.moc"
