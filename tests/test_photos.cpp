// Pictures with a day, in the main window on a fresh program folder at
// 21:30:15 on 7 December 2026: files dropped and pictures pasted are copied
// byte for byte (or as a PNG of a bare image) while the day's files stay as
// they were; removal keeps the picture in the day's history; a broken file
// shows a placeholder with its name; EXIF orientation is respected.

#include "app/photo_control.h"
#include "dialogs/f_omoide.h"
#include "dialogs/fulltext_hits_model.h"
#include "dialogs/history_window.h"
#include "dialogs/photo_window.h"
#include "dialogs/years_window.h"
#include "diary/photo_days.h"
#include "diary/photos.h"
#include "store/lock.h"
#include "store/safe_replace.h"
#include "support/diary_fixture.h"
#include "ui/photo_strip.h"
#include "ui/photo_thumbnails.h"

#include <QBuffer>
#include <QClipboard>
#include <QDropEvent>
#include <QImageReader>
#include <QLabel>
#include <QListWidget>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTableWidget>
#include <QUrl>
#include <QtTest>
#include <sys/stat.h>
#include <utime.h>

namespace {

// A 40 x 20 JPEG with an EXIF block that says "turn 90 degrees clockwise"
// (orientation 6), put right after the start of the image.
QByteArray Turned_jpeg()
{
    QImage image(40, 20, QImage::Format_RGB32);
    image.fill(Qt::red);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPEG");
    bytes.insert(2, Hex("ff e1 00 22 45 78 69 66 00 00 4d 4d 00 2a 00 00 00 08 00 01"
                        "01 12 00 03 00 00 00 01 00 06 00 00 00 00 00 00"));
    return bytes;
}

bool Put(const QString& path, const QByteArray& bytes)
{
    return QDir().mkpath(QFileInfo(path).path()) && Write_bytes(path, bytes);
}

QByteArray Png_of(const QImage& image)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

}  // namespace

class Test_photos : public QObject, private Diary_fixture {
    Q_OBJECT

private:
    QByteArray cache_before;
    Photo_control* Control(Main_form& form) { return form.findChild<Photo_control*>(); }
    QString Day_folder() const { return At("photos/2026/1207/"); }
    void Drop(Main_form& form, const QList<QUrl>& urls)
    {
        QWidget* view = Controls_of(form).Text2->viewport();
        QMimeData mime;
        mime.setUrls(urls);
        QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, {});
        QApplication::sendEvent(view, &enter);
        QVERIFY(enter.isAccepted());
        QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, {});
        QApplication::sendEvent(view, &drop);
    }

private slots:
    void init()
    {
        QVERIFY(Set_up());
        cache_before = qgetenv("XDG_CACHE_HOME");
        qputenv("XDG_CACHE_HOME", QFile::encodeName(At("cache")));
        QVERIFY(Put(At("2026/1207.txt"), Day_file_bytes));
        QVERIFY(Put(At("2026/keyword.txt"), Today_record_saved));
    }
    void cleanup()
    {
        qputenv("XDG_CACHE_HOME", cache_before);
        Verify_clean();
    }

    void Dropped_files_are_copied_byte_for_byte_and_the_day_is_untouched()
    {
        QVERIFY(Put(At("in/IMG_0001.JPG"), Turned_jpeg()));
        QVERIFY(Put(At("in/note.txt"), "not a picture"));
        auto form = Start();
        QPlainTextEdit* text = Controls_of(*form).Text2;
        auto* strip = form->findChild<Photo_strip*>(QStringLiteral("Photos2"));
        QVERIFY(strip && !strip->isVisible());
        const int full_width = text->viewport()->width();

        Drop(*form, {QUrl::fromLocalFile(At("in/IMG_0001.JPG"))});
        const QStringList names = Entries(Day_folder());
        QCOMPARE(names.size(), 1);
        QVERIFY2(QRegularExpression(QStringLiteral("^20261207-213015-[0-9a-f]{8}-IMG_0001\\.jpg$"))
                     .match(names[0])
                     .hasMatch(),
                 qPrintable(names[0]));
        QCOMPARE(Read_bytes(Day_folder() + names[0]), Turned_jpeg());
        QCOMPARE(Mode_of(Day_folder() + names[0]) & 0777, 0600);
        for (const char* made : {"photos", "photos/2026", "photos/2026/1207"})
            QCOMPARE(Mode_of(At(made)) & 0777, 0700);
        // The day's files and the panel's text are as they were.
        QCOMPARE(Read_bytes(At("2026/1207.txt")), Day_file_bytes);
        QCOMPARE(Read_bytes(At("2026/keyword.txt")), Today_record_saved);
        QCOMPARE(text->toPlainText(), Day_text);
        QVERIFY(!text->document()->isModified());
        // The column narrows the text instead of lying over it.
        QVERIFY(strip->isVisible());
        QCOMPARE(text->viewport()->width(), full_width - Photo_strip::Column_width);
        QVERIFY(strip->geometry().left() >= text->viewport()->geometry().right());
        QTRY_COMPARE(strip->Ready_count(), 1);
        QCOMPARE(strip->Placeholder_count(), 0);
        const QStringList thumbnails = Entries(At("cache/sorane/thumbnails"));
        QCOMPARE(thumbnails.size(), 1);
        QCOMPARE(Mode_of(At("cache/sorane/thumbnails")) & 0777, 0700);
        QCOMPARE(Mode_of(At("cache/sorane/thumbnails/") + thumbnails[0]) & 0777, 0600);

        // What is no picture is told and not copied, nor is a folder or a pipe.
        QVERIFY(::mkfifo(QFile::encodeName(At("in/pipe")).constData(), 0600) == 0);
        fake->Expect_box(
            QStringLiteral("写真として読めないファイルは入れませんでした。\nnote.txt\npipe\nin"),
            App_title, Platform::Icon::Exclamation, Platform::Buttons::Ok, Platform::Answer::Ok);
        Drop(*form, {QUrl::fromLocalFile(At("in/note.txt")), QUrl::fromLocalFile(At("in/pipe")),
                     QUrl::fromLocalFile(At("in"))});
        const Panel_date day{2026, 12, 7};
        QCOMPARE(Add_photo_file(folder->Path(), day, At("in/pipe"), "jpg", fake->now).result.step,
                 Io_step::Not_a_regular_file);
        QCOMPARE(Add_photo_file(folder->Path(), day, At("in"), "jpg", fake->now).result.step,
                 Io_step::Not_a_file);
        QCOMPARE(Entries(Day_folder()), names);
        End(*form);
        QCOMPARE(Read_bytes(At("2026/1207.txt")), Day_file_bytes);
    }

    void Pasted_picture_keeps_its_bytes_or_becomes_a_png()
    {
        auto form = Start();
        QPlainTextEdit* text = Controls_of(*form).Text2;
        QImage image(30, 10, QImage::Format_RGB32);
        image.fill(QColor(10, 200, 30));
        const QByteArray png = Png_of(image);

        auto* own = new QMimeData;
        own->setData(QStringLiteral("image/png"), png);
        QApplication::clipboard()->setMimeData(own);
        QTest::keyClick(text, Qt::Key_V, Qt::ControlModifier);
        QStringList names = Entries(Day_folder());
        QCOMPARE(names.size(), 1);
        QVERIFY2(names[0].endsWith(QStringLiteral("-paste.png")), qPrintable(names[0]));
        QCOMPARE(Read_bytes(Day_folder() + names[0]), png);

        // A bare image is kept as a PNG of it.
        QImage other(8, 6, QImage::Format_RGB32);
        other.fill(QColor(250, 0, 90));
        QApplication::clipboard()->setImage(other);
        QTest::keyClick(text, Qt::Key_V, Qt::ControlModifier);
        QStringList now = Entries(Day_folder());
        QCOMPARE(now.size(), 2);
        now.removeOne(names[0]);
        QImage read(Day_folder() + now[0], "PNG");
        QCOMPARE(read.convertToFormat(QImage::Format_RGB32), other);

        // Text on the clipboard is pasted as text, as always.
        QApplication::clipboard()->setText(QStringLiteral("雨"));
        QTest::keyClick(text, Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(Entries(Day_folder()).size(), 2);
        QVERIFY(text->toPlainText().contains(QStringLiteral("雨")));
        QCOMPARE(Read_bytes(At("2026/1207.txt")), Day_file_bytes);
        QApplication::clipboard()->clear();
        text->setPlainText(Day_text);
        text->document()->setModified(false);
        End(*form);
    }

    void Removal_keeps_the_picture_in_the_days_history()
    {
        QImage small(4, 4, QImage::Format_RGB32);
        small.fill(Qt::blue);
        const QByteArray png = Png_of(small);
        QVERIFY(Put(At("in/a.png"), png));
        QVERIFY(Put(At("in/b.jpg"), Turned_jpeg()));
        auto form = Start();
        QCOMPARE(Control(*form)->Add_files({At("in/a.png"), At("in/b.jpg")}), 2);
        auto* strip = form->findChild<Photo_strip*>(QStringLiteral("Photos2"));
        QCOMPARE(int(strip->Paths().size()), 2);
        const QStringList names = Entries(Day_folder());
        auto question = [&](const QString& name) {
            return QStringLiteral("この写真を2026年12月7日の日記から外しますか？\n%1\n"
                                  "写真は消えずに、この日の履歴（history フォルダー）に残ります。")
                .arg(name);
        };
        fake->Expect_box(question(names[0]), App_title, Platform::Icon::Question,
                         Platform::Buttons::Yes_no, Platform::Answer::No);
        Control(*form)->Remove_diary_photo(0);
        QCOMPARE(Entries(Day_folder()), names);

        fake->Expect_box(question(names[0]), App_title, Platform::Icon::Question,
                         Platform::Buttons::Yes_no, Platform::Answer::Yes);
        Control(*form)->Remove_diary_photo(0);
        QCOMPARE(Entries(Day_folder()), QStringList{names[1]});
        QCOMPARE(Read_bytes(At("history/2026/1207/photos/") + names[0]),
                 names[0].endsWith(".png") ? png : Turned_jpeg());
        QCOMPARE(Mode_of(At("history/2026/1207/photos")) & 0777, 0700);
        QCOMPARE(int(strip->Paths().size()), 1);
        QCOMPARE(strip->Paths(), QStringList{Day_folder() + names[1]});
        // The picture of the same name removed again keeps both.
        QVERIFY(Put(Day_folder() + names[0], "again"));
        const Photo_removed again =
            Remove_photo(folder->Path(), {2026, 12, 7}, Day_folder() + names[0]);
        QVERIFY(again.result.Ok());
        QCOMPARE(Read_bytes(again.kept_path), QByteArray("again"));
        QCOMPARE(Entries(At("history/2026/1207/photos")).size(), 2);
        End(*form);
    }

    void A_broken_picture_shows_a_placeholder_with_its_name()
    {
        const QString broken = Day_folder() + "20261207-000000-00000000-broken.jpg";
        const QString turned = Day_folder() + "20261207-000001-00000000-turned.jpg";
        QVERIFY(Put(broken, Hex("ff d8 ff e0 00 10 4a 46 49 46 00")));
        QVERIFY(Put(turned, Turned_jpeg()));
        QVERIFY(Put(At("photos/2025/1207/20251207-000000-00000000-x.jpg"), Turned_jpeg()));
        auto form = Start();
        auto* strip = form->findChild<Photo_strip*>(QStringLiteral("Photos2"));
        QTRY_COMPARE(strip->Ready_count(), 2);
        QCOMPARE(strip->Placeholder_count(), 1);
        QVERIFY(strip->Tip(0).startsWith(QStringLiteral("20261207-000000-00000000-broken.jpg\n")));
        // Last year's day below has its own.
        QCOMPARE(form->findChild<Photo_strip*>(QStringLiteral("Photos1"))->Paths().size(), 1);

        Photo_window window(form->Host(), strip->Paths(), 0, QStringLiteral("2026年12月7日"));
        QVERIFY(window.Image().isNull());
        QCOMPARE(window.Label1->text(),
                 QStringLiteral("この写真は表示できません。\n20261207-000000-00000000-broken.jpg\n"
                                "画像が壊れています。"));
        QTest::keyClick(&window, Qt::Key_Right);
        QCOMPARE(window.Index(), 1);
        QCOMPARE(window.Image().size(), QSize(20, 40));
        QCOMPARE(window.Label2->text(),
                 QStringLiteral("2026年12月7日　20261207-000001-00000000-turned.jpg（2／2）"));
        QTest::keyClick(&window, Qt::Key_Right);
        QCOMPARE(window.Index(), 0);
        QCOMPARE(Make_thumbnail(turned, 10, QString()).image.size(), QSize(5, 10));
        End(*form);
    }

    void Names_keep_only_plain_characters_and_a_changed_photo_gets_a_new_thumbnail()
    {
        const QDateTime at(QDate(2026, 12, 9), QTime(21, 15, 3));
        QCOMPARE(New_photo_name(at, 0x3f9a1c2e, "/home/u/写真 1.JPEG", "JPG"),
                 QStringLiteral("20261209-211503-3f9a1c2e-___1.jpg"));
        QCOMPARE(New_photo_name(at, 10, QString(), "../x"),
                 QStringLiteral("20261209-211503-0000000a.img"));
        QCOMPARE(New_photo_name(at, 1, QString(50, u'a') + ".png", "png"),
                 QStringLiteral("20261209-211503-00000001-") + QString(40, u'a') + ".png");

        // The cache never shows the picture a file held before.
        const QString path = At("photos/2026/1207/20261207-000000-00000000-a.jpg");
        const QString cache = At("thumbs");
        QVERIFY(Put(path, Turned_jpeg()));
        QCOMPARE(Make_thumbnail(path, 8, cache).image.pixelColor(2, 2).red() > 200, true);
        QImage blue(16, 16, QImage::Format_RGB32);
        blue.fill(Qt::blue);
        QVERIFY(Put(path, Png_of(blue)));
        const Thumbnail again = Make_thumbnail(path, 8, cache);
        QCOMPARE(again.image.size(), QSize(8, 8));
        QCOMPARE(again.image.pixelColor(4, 4), QColor(Qt::blue));
        QCOMPARE(Entries(cache).size(), 2);
        // A thumbnail cut short in the cache is made again.
        for (const QString& name : Entries(cache))
            QVERIFY(Put(cache + "/" + name, "\x89PNG"));
        QCOMPARE(Make_thumbnail(path, 8, cache).image.pixelColor(4, 4), QColor(Qt::blue));
    }

    // A locked diary's removed picture is sealed in the history like the
    // rest; この日の履歴 shows it opened, not as a picture it cannot read.
    void A_locked_diarys_removed_picture_shows_in_the_days_history()
    {
        const lock::Diary_key key = lock::Diary_key::Generate();
        lock::Register_key(folder->Path(), key);
        QImage small(6, 4, QImage::Format_RGB32);
        small.fill(Qt::darkGreen);
        const QString name = QStringLiteral("20261207-100000-00000001-a.png");
        QVERIFY(QDir().mkpath(Day_folder()));
        QVERIFY(Replace_file(Day_folder() + name, Png_of(small)).Ok());
        QVERIFY(Remove_photo(folder->Path(), {2026, 12, 7}, Day_folder() + name).result.Ok());
        QVERIFY(lock::Is_sealed(Read_bytes(At("history/2026/1207/photos/") + name)));
        auto form = Start();
        QColor shown;
        fake->Expect_modal([&](QDialog& d) {
            auto* w = qobject_cast<History_window*>(&d);
            if (!w || !w->Removed_list || w->Removed_list->count() != 1)
                return -1;
            const QListWidgetItem* item = w->Removed_list->item(0);
            const bool in_time = QTest::qWaitFor([&] {
                const QImage icon = item->icon().pixmap(64).toImage();
                shown = icon.pixelColor(icon.width() / 2, icon.height() / 2);
                return shown == QColor(Qt::darkGreen);
            });
            return in_time ? 0 : -2;
        });
        Controls_of(*form).Menu_history->trigger();
        form.reset();
        lock::Forget_key(folder->Path());
        QCOMPARE(shown, QColor(Qt::darkGreen));
    }

    void A_removed_picture_is_listed_in_the_days_history_and_put_back()
    {
        QImage small(6, 4, QImage::Format_RGB32);
        small.fill(Qt::darkGreen);
        const QByteArray png = Png_of(small);
        const QString name = QStringLiteral("20261207-100000-00000001-a.png");
        QVERIFY(Put(Day_folder() + name, png));
        const Panel_date day{2026, 12, 7};
        QVERIFY(Remove_photo(folder->Path(), day, Day_folder() + name).result.Ok());
        QCOMPARE(Entries(Day_folder()), QStringList());
        auto form = Start();
        // The day has no earlier text, only the removed picture: the window
        // opens all the same.
        fake->Expect_modal([&](QDialog& d) {
            auto* w = qobject_cast<History_window*>(&d);
            if (!w || !w->Removed_list || w->Removed_list->count() != 1 ||
                !w->Put_back->isEnabled())
                return -1;
            w->Put_back->click();
            if (Read_bytes(Day_folder() + name) != png || w->Photos_put_back() != 1 ||
                w->Put_back->isEnabled() ||
                !w->Removed_list->item(0)->text().endsWith(QStringLiteral("（日記にあります）")))
                return -2;
            w->Put_back->click();  // disabled: nothing more
            return w->Photos_put_back() == 1 ? 0 : -3;
        });
        Controls_of(*form).Menu_history->trigger();
        QCOMPARE(Entries(Day_folder()), QStringList{name});
        QCOMPARE(Mode_of(Day_folder() + name) & 0777, 0600);
        // The history keeps its own; the text, its index and history are untouched.
        QCOMPARE(Read_bytes(At("history/2026/1207/photos/") + name), png);
        QCOMPARE(Entries(At("history/2026/1207")), QStringList{"photos"});
        QCOMPARE(Read_bytes(At("2026/1207.txt")), Day_file_bytes);
        QCOMPARE(Read_bytes(At("2026/keyword.txt")), Today_record_saved);
        auto* strip = form->findChild<Photo_strip*>(QStringLiteral("Photos2"));
        QCOMPARE(strip->Paths(), QStringList{Day_folder() + name});
        // Put back again: the name is taken, nothing is written over; a
        // path outside the day's history is refused.
        const Photo_added again =
            Put_back_photo(folder->Path(), day, At("history/2026/1207/photos/") + name);
        QVERIFY(again.path.isEmpty());
        QCOMPARE(again.result.step, Io_step::Rename);
        QCOMPARE(again.result.error_number, EEXIST);
        QVERIFY(Put_back_photo(folder->Path(), day, At("2026/1207.txt")).path.isEmpty());
        QCOMPARE(Entries(Day_folder()), QStringList{name});
        End(*form);
    }

    void Days_with_pictures_are_marked_and_a_year_is_listed_once()
    {
        QVERIFY(Put(At("2026/keyword.txt"),
                    QByteArray("2026/12/051\r\n") + Today_record_saved));  // 5 December, 思い出
        QVERIFY(Put(Day_folder() + "20261207-100000-00000001-a.jpg", Turned_jpeg()));
        QVERIFY(QDir().mkpath(At("photos/2026/1203")));  // a day whose pictures were all removed
        Photo_days& days = Shared_photo_days(folder->Path());
        auto form = Start();
        const auto marks = [&] {
            QStringList marked;
            fake->Expect_modal([&](QDialog& d) {
                auto* w = qobject_cast<F_omoide*>(&d);
                if (!w)
                    return -1;
                for (int r = 1; r <= w->Keyword_count(); ++r) {
                    const QTableWidgetItem* memo = w->Grid1->item(r, 1);
                    marked << w->Grid1->item(r, 0)->text() +
                                  (memo->icon().isNull() ? QString() : memo->toolTip());
                }
                return 0;
            });
            Controls_of(*form).Menu_omoide->trigger();
            return marked;
        };
        QCOMPARE(marks(), (QStringList{"2026/12/05", "2026/12/07写真あり"}));
        const int read = days.Day_folders_read();
        QCOMPARE(marks(), (QStringList{"2026/12/05", "2026/12/07写真あり"}));
        QCOMPARE(days.Day_folders_read(), read);  // nothing changed: no day folder read again
        QVERIFY(Add_photo_bytes(folder->Path(), {2026, 12, 5}, "x", "b.png", "png", fake->now)
                    .result.Ok());
        QCOMPARE(marks(), (QStringList{"2026/12/05写真あり", "2026/12/07写真あり"}));
        QCOMPARE(days.Day_folders_read(), read + 1);
        QVERIFY(days.Has(20261205) && !days.Has(20261203) && !days.Has(20251207));

        // The full-text search's rows: the camera in the 思い出 column.
        Fulltext_hits_model model(nullptr);
        model.Set_photo_days([&days](int year) { return days.Of_year(year); });
        Fulltext_result result;
        result.hits = {{20261207, true, QString(), {}}, {20261206, false, QString(), {}}};
        model.Set(nullptr, result);
        QVERIFY(!model.data(model.index(0, Memory_column), Qt::DecorationRole).isNull());
        QCOMPARE(model.data(model.index(0, Memory_column), Qt::ToolTipRole).toString(),
                 QStringLiteral("写真あり"));
        QVERIFY(model.data(model.index(1, Memory_column), Qt::DecorationRole).isNull());

        // この日の百年: the mark after the heading of a year whose day has any.
        QVERIFY(Put(At("2025/1207.txt"), Day_file_bytes));
        Controls_of(*form).Menu_years->trigger();
        Years_window* page = Probe(*form).years_window;
        QVERIFY(page && page->isVisible());
        const QStringList lines = page->Text1->toPlainText().split('\n');
        QCOMPARE(lines.filter(QStringLiteral("2026年12月7日")),
                 QStringList{QStringLiteral("2026年12月7日（月）　今年　★思い出　写真あり")});
        QCOMPARE(lines.filter(QStringLiteral("2025年12月7日")),
                 QStringList{QStringLiteral("2025年12月7日（日）　1年前")});
        page->close();
        End(*form);
    }

    void Pruning_drops_thumbnails_of_pictures_gone_and_keeps_the_newest()
    {
        const QString cache = At("thumbs");
        QStringList pictures;
        for (int i = 0; i < 4; ++i) {
            pictures << Day_folder() + QStringLiteral("p%1.jpg").arg(i);
            QVERIFY(Put(pictures.back(), Turned_jpeg()));
            QVERIFY(!Make_thumbnail(pictures.back(), 16, cache).image.isNull());
        }
        QStringList thumbnails = Entries(cache);
        QCOMPARE(thumbnails.size(), 4);
        // Used long ago, the oldest first: p0 .. p3.
        const auto name_of = [&](int i) {
            for (const QString& t : Entries(cache))
                if (QImageReader(cache + "/" + t).text("Sorane-Source") == pictures[i])
                    return t;
            return QString();
        };
        QStringList by_picture;
        for (int i = 0; i < 4; ++i) {
            by_picture << name_of(i);
            const utimbuf times{::time(nullptr) - 86400 * (10 - i),
                                ::time(nullptr) - 86400 * (10 - i)};
            QVERIFY(::utime(QFile::encodeName(cache + "/" + by_picture[i]).constData(), &times) ==
                    0);
        }
        QVERIFY(
            Put(cache + "/0123.png", Png_of(QImage(2, 2, QImage::Format_RGB32))));  // says nothing
        QVERIFY(QFile::remove(pictures[1]));
        QVERIFY(Put(pictures[2], "changed"));
        // Shown again: young again, though the oldest by its time.
        QVERIFY(!Make_thumbnail(pictures[0], 16, cache).image.isNull());
        const qint64 one = QFileInfo(cache + "/" + by_picture[3]).size();
        const Thumbnail_prune pruned = Prune_thumbnail_cache(cache, one + one / 2);
        QCOMPARE(pruned.gone, 3);
        QCOMPARE(pruned.too_many, 1);
        QCOMPARE(Entries(cache), QStringList{by_picture[0]});
        QCOMPARE(pruned.bytes, QFileInfo(cache + "/" + by_picture[0]).size());
    }
};

QTEST_MAIN(Test_photos)
#include "test_photos.moc"
