#include "support/diary_fixture.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QWidget>
#include <QtTest>

void Write_diary_entry(Main_form& form)
{
    Controls_of(form).Text2->setFocus();
    Controls_of(form).Text2->insertPlainText(Day_text);
    Controls_of(form).Text6->insert(Day_memo);
    Controls_of(form).Check1->setChecked(true);
}

std::unique_ptr<Main_form> Start_form(Fake_platform& fake, const QString& app_dir)
{
    auto form = std::make_unique<Main_form>(fake, fake, app_dir);
    if (form->Form_Load())
        form->Show_window();
    QCoreApplication::processEvents();
    return form;
}

void Verify_no_window_left_open(const QStringList& allowed)
{
    for (QWidget* w : QApplication::topLevelWidgets())
        QVERIFY2(!w->isVisible() || allowed.contains(w->objectName()),
                 qPrintable(w->objectName() + " left open"));
}

bool Diary_fixture::Set_up()
{
    folder = std::make_unique<Temp_folder>();
    fake = std::make_unique<Fake_platform>();
    fake->now = QDateTime(QDate(2026, 12, 7), QTime(21, 30, 15));
    fake->screen_twips = QSizeF(28800, 16200);
    dpi = QWidget().logicalDpiX();
    return folder->Ok();
}

void Diary_fixture::Verify_clean(const QStringList& allowed) const
{
    VERIFY_PLATFORM_CLEAN(*fake);
    Verify_no_window_left_open(allowed);
}

void Diary_fixture::End(Main_form& form)
{
    QTest::mouseClick(Controls_of(form).Command2, Qt::LeftButton);
    QVERIFY(form.Ended());
}

QString Diary_fixture::Changed_day_question(const QString& copy)
{
    return QStringLiteral("2026年12月7日の日記は、読み込んだ後に、ほかのパソコンや同期ソフトなどで"
                          "書き換えられています。\n"
                          "「はい」：書き換えられた日記を残します。ここで書いた日記は「%1」に"
                          "書き出します。\n"
                          "「いいえ」：ここで書いた日記で保存します。書き換えられた日記は「%1」に"
                          "残します。\n"
                          "「キャンセル」：保存せずに、日記の画面に戻ります。")
        .arg(copy);
}

QString Diary_fixture::Change_day_elsewhere() const
{
    [&] { QVERIFY(Write_bytes(At("2026/1207.txt"), Hex("89 4a 81 42 0d 0a"))); }();
    return Changed_day_question(QStringLiteral("2026/1207.conflict-20261207-213015.txt"));
}
