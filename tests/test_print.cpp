// Printing: the days laid out under their headings in the windows' font, a
// PDF written through the printer whose pages grow with a long day, a PDF
// that cannot be written told in words, emoji drawn in colour in the PDF;
// the print window's days read from the disk exactly, and nothing to print
// told.

#include "dialogs/print_window.h"
#include "platform/app_title.h"
#include "store/exact_text.h"
#include "store/store.h"
#include "support/fake_platform.h"
#include "support/temp_folder.h"
#include "ui/look.h"
#include "ui/print_document.h"
#include "ui/print_paper.h"

#include <QBuffer>
#include <QDateEdit>
#include <QImage>
#include <QPrinter>
#include <QProcess>
#include <QRadioButton>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTextBlock>
#include <QTextDocument>
#include <QtTest>

namespace {

// The pages of a PDF: its page objects, not the page tree.
int Pdf_pages(const QByteArray& pdf)
{
    static const QRegularExpression page(QStringLiteral("/Type\\s*/Page(?![a-zA-Z])"));
    int pages = 0;
    for (auto it = page.globalMatch(QString::fromLatin1(pdf)); it.hasNext(); it.next())
        ++pages;
    return pages;
}

QString Lines(int n)
{
    QStringList lines;
    for (int i = 1; i <= n; ++i)
        lines << QStringLiteral("%1行目：今日は長い一日だった。").arg(i);
    return lines.join(QLatin1Char('\n'));
}

}  // namespace

class Test_print : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<Temp_folder> diary;
    std::unique_ptr<Temp_folder> out;
    std::unique_ptr<Fake_platform> fake;
    std::unique_ptr<QWidget> main_window;

    // Prints the days to a PDF file and gives its bytes.
    QByteArray Pdf_of(const QList<Export_day>& days, const QString& name)
    {
        const auto document = Print_document(days, Diary_font());
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(out->File(name));
        [&] { QCOMPARE(Print_to(*document, printer, false), QString()); }();
        return Read_bytes(out->File(name));
    }
    std::unique_ptr<Print_window> Window(const Panel_date& day)
    {
        return std::make_unique<Print_window>(Dialog_host{main_window.get(), *fake,
                                                          [] {
                                                              return Twips_rect{0, 0, 9510, 7020};
                                                          }},
                                              diary->Path(), day);
    }

private slots:
    void initTestCase() { Install_font_substitutions(); }
    void init()
    {
        diary = std::make_unique<Temp_folder>();
        out = std::make_unique<Temp_folder>();
        QVERIFY(diary->Ok() && out->Ok());
        fake = std::make_unique<Fake_platform>();
        main_window = std::make_unique<QWidget>();
    }
    void cleanup()
    {
        main_window.reset();
        VERIFY_PLATFORM_CLEAN(*fake);
    }

    void The_document_holds_each_day_under_its_heading()
    {
        const QList<Export_day> days{{2024, 2, 29, true, QStringLiteral("うるう日"),
                                      QStringLiteral("😀 晴れ\n\n  字下げした行\tタブ")},
                                     {2026, 12, 9, false, QString(), QStringLiteral("一行")},
                                     {2026, 12, 10, false, QStringLiteral("メモだけ"), QString()}};
        const auto document = Print_document(days, Diary_font());
        QCOMPARE(document->toPlainText(),
                 QStringLiteral("2024年2月29日（木）　★思い出\nメモ：うるう日\n"
                                "😀 晴れ\n\n  字下げした行\tタブ\n"
                                "2026年12月9日（水）\n一行\n"
                                "2026年12月10日（木）\nメモ：メモだけ"));
        // The headings stand out; the text is in the windows' font as is.
        const QTextBlock heading = document->findBlockByNumber(0);
        QCOMPARE(heading.begin().fragment().charFormat().fontWeight(), int(QFont::Bold));
        const QTextBlock text = document->findBlockByNumber(2);
        QCOMPARE(text.text(), QStringLiteral("😀 晴れ"));
        QCOMPARE(text.begin().fragment().charFormat().fontWeight(), int(QFont::Normal));
        QCOMPARE(text.begin().fragment().charFormat().font().family(), Diary_font().family());
        QCOMPARE(document->defaultFont().family(), Diary_font().family());
    }

    void A_pdf_grows_by_pages_with_a_long_day()
    {
        const QByteArray one = Pdf_of({{2026, 12, 9, false, QString(), Lines(3)}}, "one.pdf");
        QVERIFY(one.startsWith("%PDF"));
        QCOMPARE(Pdf_pages(one), 1);
        const int long_pages =
            Pdf_pages(Pdf_of({{2026, 12, 9, false, QString(), Lines(200)}}, "long.pdf"));
        const int longer_pages =
            Pdf_pages(Pdf_of({{2026, 12, 9, false, QString(), Lines(400)}}, "longer.pdf"));
        QVERIFY2(long_pages >= 3, qPrintable(QString::number(long_pages)));
        QVERIFY2(longer_pages > long_pages + 1, qPrintable(QString::number(longer_pages)));
    }

    void Emoji_and_rare_kanji_reach_the_pdf()
    {
        const QString pdftotext = QStandardPaths::findExecutable("pdftotext");
        const QString pdffonts = QStandardPaths::findExecutable("pdffonts");
        const QString pdftoppm = QStandardPaths::findExecutable("pdftoppm");
        if (pdftotext.isEmpty() || pdffonts.isEmpty() || pdftoppm.isEmpty())
            QSKIP("poppler-utils is not installed");
        Pdf_of({{2026, 12, 9, false, QStringLiteral("誕生日🎂"),
                 QStringLiteral("𠮷野家で😀\n掃除🧹した𠮟")}},
               "emoji.pdf");
        const auto run = [](const QString& program, const QStringList& arguments) {
            QProcess process;
            process.start(program, arguments);
            process.waitForFinished(30000);
            return QString::fromUtf8(process.readAllStandardOutput());
        };
        // No colour font that the writer could only leave blank.
        const QString fonts = run(pdffonts, {out->File("emoji.pdf")});
        QVERIFY2(!fonts.contains("ColorEmoji") && fonts.contains("IPAGothic"), qPrintable(fonts));
        const QString text = run(pdftotext, {out->File("emoji.pdf"), "-"});
        QVERIFY2(text.contains(QStringLiteral("メモ：誕生日")) &&
                     text.contains(QStringLiteral("𠮷野家で")) &&
                     text.contains(QStringLiteral("した𠮟")),
                 qPrintable(text));
        // The three emoji are drawn, in colour, where the text has them: the
        // page holds red and yellow, which black letters never give.
        QVERIFY(QProcess::execute(pdftoppm, {"-r", "60", "-png", "-singlefile",
                                             out->File("emoji.pdf"), out->File("page")}) == 0);
        const QImage page(out->File("page.png"));
        QVERIFY(!page.isNull());
        int coloured = 0;
        for (int y = 0; y < page.height(); ++y)
            for (int x = 0; x < page.width(); ++x)
                if (QColor(page.pixel(x, y)).hsvSaturation() > 120)
                    ++coloured;
        QVERIFY2(coloured > 40, qPrintable(QString::number(coloured)));
    }

    void A_pdf_that_cannot_be_written_is_told()
    {
        const auto document =
            Print_document({{2026, 12, 9, false, QString(), QStringLiteral("晴")}}, Diary_font());
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        const QString pdf = out->File("無いフォルダー/日記.pdf");
        printer.setOutputFileName(pdf);
        QCOMPARE(Print_to(*document, printer, false),
                 QStringLiteral("PDF ファイルを書き込めませんでした。\n%1\n"
                                "書き込めるフォルダーと名前を選んで、もう一度印刷してください。")
                     .arg(pdf));
        QVERIFY(!QFile::exists(pdf));
    }

    void The_window_prints_this_day_or_a_range_read_exactly()
    {
        Diary_store store(diary->Path());
        QVERIFY(store.Ensure_year_folder(2026).Ok());
        const QString text = QStringLiteral("空が青い😀\n𠮷野家");
        const QString path = store.Day_file_path(2026, 12, 9);
        QVERIFY(store.Write_text_file(path, text, Unmappable_policy::Substitute).Ok());
        QVERIFY(store
                    .Store_day_record(2026, QStringLiteral("2026/12/09"), true,
                                      QStringLiteral("誕生日🎂"), Unmappable_policy::Substitute)
                    .Ok());
        QVERIFY(
            Write_bytes(Companion_path(path), Companion_bytes({QStringLiteral("誕生日🎂"), text})));
        QVERIFY(Write_bytes(diary->File("2026/1210.txt"), Hex("89 4a 0d 0a")));  // 雨
        QVERIFY(QDir().mkpath(diary->File("2024")));
        QVERIFY(Write_bytes(diary->File("2024/0229.txt"), Hex("90 b0 0d 0a")));  // 晴

        const auto window = Window({2026, 12, 9});
        QVERIFY(window->This_day->isChecked());
        QCOMPARE(window->This_day->text(), QStringLiteral("この日（2026年12月9日）"));
        std::optional<QList<Export_day>> days = window->Days_chosen();
        QVERIFY(days);
        QCOMPARE(days->size(), 1);
        QCOMPARE(days->at(0).text, text);
        QCOMPARE(days->at(0).memo, QStringLiteral("誕生日🎂"));
        QVERIFY(days->at(0).memory);

        window->Range->setChecked(true);
        QVERIFY(window->From->isEnabled());
        window->From->setDate(QDate(2024, 2, 1));
        window->To->setDate(QDate(2026, 12, 31));
        QVERIFY(window->Build_document());
        QCOMPARE(window->Document()->toPlainText(),
                 QStringLiteral("2024年2月29日（木）\n晴\n"
                                "2026年12月9日（水）　★思い出\nメモ：誕生日🎂\n空が青い😀\n𠮷野家\n"
                                "2026年12月10日（木）\n雨"));
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(out->File("日記.pdf"));
        QVERIFY(window->Print(printer));
        QCOMPARE(Pdf_pages(Read_bytes(out->File("日記.pdf"))), 1);

        // A PDF that cannot be written is told, and the window stays.
        printer.setOutputFileName(out->File("無い/日記.pdf"));
        fake->Expect_box(
            QStringLiteral("PDF ファイルを書き込めませんでした。\n%1\n"
                           "書き込めるフォルダーと名前を選んで、もう一度印刷してください。")
                .arg(out->File("無い/日記.pdf")),
            App_title, Platform::Icon::Exclamation, Platform::Buttons::Ok, Platform::Answer::Ok);
        QVERIFY(!window->Print(printer));
    }

    void A_days_pictures_go_on_the_page_turned_and_as_wide_as_the_text()
    {
        const QString pdfimages = QStandardPaths::findExecutable("pdfimages");
        if (pdfimages.isEmpty())
            QSKIP("poppler-utils is not installed");
        // 20 x 40 pixels stored, EXIF orientation 6: 40 x 20 when turned.
        QImage stored(20, 40, QImage::Format_RGB32);
        stored.fill(QColor(200, 30, 30));
        QByteArray jpeg;
        QBuffer buffer(&jpeg);
        buffer.open(QIODevice::WriteOnly);
        QVERIFY(stored.save(&buffer, "JPEG"));
        jpeg.insert(2, Hex("ff e1 00 22 45 78 69 66 00 00 4d 4d 00 2a 00 00 00 08 00 01"
                           "01 12 00 03 00 00 00 01 00 06 00 00 00 00 00 00"));
        QVERIFY(QDir().mkpath(diary->File("2026")));
        QVERIFY(Write_bytes(diary->File("2026/1209.txt"), Hex("90 b0 0d 0a")));  // 晴
        const QString day_folder = diary->File("photos/2026/1209/");
        QVERIFY(QDir().mkpath(day_folder));
        QVERIFY(Write_bytes(day_folder + "20261209-100000-00000001-turned.jpg", jpeg));
        QVERIFY(Write_bytes(day_folder + "20261209-100001-00000002-broken.png", "\x89PNG"));

        const auto window = Window({2026, 12, 9});
        QVERIFY(window->Build_document());
        QCOMPARE(window->Document()->toPlainText(),
                 QStringLiteral("2026年12月9日（水）\n晴\n") + QChar::ObjectReplacementCharacter +
                     QStringLiteral("\n（写真を印刷できません：20261209-100001-00000002-broken."
                                    "png　画像として読めません）"));
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setPageSize(QPageSize(QPageSize::A4));
        printer.setOutputFileName(out->File("photo.pdf"));
        QVERIFY(window->Print(printer));
        QProcess list;
        list.start(pdfimages, {"-list", out->File("photo.pdf")});
        QVERIFY(list.waitForFinished(30000));
        // page num type width height color comp bpc enc interp object ID x-ppi y-ppi ...
        const QStringList rows =
            QString::fromLatin1(list.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
        QCOMPARE(rows.size(), 3);
        const QStringList image = rows[2].simplified().split(' ');
        QCOMPARE(image.mid(3, 2), (QStringList{"40", "20"}));
        QCOMPARE(image[5], QStringLiteral("rgb"));
        // 40 pixels across A4's 170 mm between the 2 cm margins: 6 to the inch.
        QVERIFY2(qAbs(image[12].toDouble() - 40 / (170 / 25.4)) < 0.2, qPrintable(rows[2]));

        // Printed landscape, the picture takes the wider text.
        printer.setPageOrientation(QPageLayout::Landscape);
        printer.setOutputFileName(out->File("wide.pdf"));
        QVERIFY(window->Print(printer));
        list.start(pdfimages, {"-list", out->File("wide.pdf")});
        QVERIFY(list.waitForFinished(30000));
        const QString wide =
            QString::fromLatin1(list.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts)[2];
        QVERIFY2(qAbs(wide.simplified().split(' ')[12].toDouble() - 40 / (257 / 25.4)) < 0.2,
                 qPrintable(wide));

        // A day that holds nothing but a picture prints it under its date.
        QVERIFY(QDir().mkpath(diary->File("photos/2026/1211")));
        QVERIFY(Write_bytes(diary->File("photos/2026/1211/20261211-100000-00000003-a.jpg"), jpeg));
        const auto only_picture = Window({2026, 12, 11});
        QVERIFY(only_picture->Build_document());
        QCOMPARE(only_picture->Document()->toPlainText(),
                 QStringLiteral("2026年12月11日（金）\n") + QChar::ObjectReplacementCharacter);
    }

    void More_than_a_year_of_days_is_asked_about_first()
    {
        QVERIFY(QDir().mkpath(diary->File("2025")));
        QVERIFY(QDir().mkpath(diary->File("2026")));
        int files = 0;
        for (QDate d(2025, 1, 1); d <= QDate(2026, 1, 5); d = d.addDays(1), ++files)
            QVERIFY(Write_bytes(diary->File(d.toString(QStringLiteral("yyyy/MMdd.txt"))),
                                Hex("90 b0 0d 0a")));  // 晴
        QCOMPARE(files, 370);
        const auto window = Window({2026, 1, 5});
        window->Range->setChecked(true);
        window->From->setDate(QDate(2025, 1, 1));
        window->To->setDate(QDate(2026, 1, 5));
        const QString question =
            QStringLiteral("370 日分の日記を印刷します。ページ数が多いため、"
                           "プレビューが出るまでしばらくかかります。\n続けますか？");
        fake->Expect_box(question, App_title, Platform::Icon::Question, Platform::Buttons::Yes_no,
                         Platform::Answer::No);
        QVERIFY(!window->Build_document());
        QVERIFY(!window->Document());
        fake->Expect_box(question, App_title, Platform::Icon::Question, Platform::Buttons::Yes_no,
                         Platform::Answer::Yes);
        QVERIFY(window->Build_document());
        QVERIFY(window->Document()->toPlainText().startsWith(
            QStringLiteral("2025年1月1日（水）\n晴\n2025年1月2日（木）\n晴")));
        // A year exactly is not asked about.
        window->From->setDate(QDate(2025, 1, 5));
        QVERIFY(window->Build_document());
    }

    void Nothing_to_print_and_a_range_backwards_are_told()
    {
        QVERIFY(QDir().mkpath(diary->File("2026")));
        QVERIFY(Write_bytes(diary->File("2026/keyword.txt"),
                            Hex("32 30 32 36 2f 31 32 2f 31 31 30 0d 0a")));  // holds nothing
        const auto window = Window({2026, 12, 11});
        fake->Expect_box(QStringLiteral("2026年12月11日の日記には、印刷するものがありません。"),
                         App_title, Platform::Icon::Information, Platform::Buttons::Ok,
                         Platform::Answer::Ok);
        QVERIFY(!window->Days_chosen());
        QVERIFY(!window->Document());

        window->Range->setChecked(true);
        window->From->setDate(QDate(2026, 12, 12));
        window->To->setDate(QDate(2026, 12, 1));
        fake->Expect_box(QStringLiteral("期間の始めの日が終わりの日より後になっています。"),
                         App_title, Platform::Icon::Exclamation, Platform::Buttons::Ok,
                         Platform::Answer::Ok);
        QVERIFY(!window->Build_document());

        window->From->setDate(QDate(2025, 1, 1));
        fake->Expect_box(QStringLiteral("この期間には、印刷する日記がありません。"), App_title,
                         Platform::Icon::Information, Platform::Buttons::Ok, Platform::Answer::Ok);
        QVERIFY(!window->Build_document());
    }
};

QTEST_MAIN(Test_print)
#include "test_print.moc"
