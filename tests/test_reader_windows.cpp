// The windows read beside the diary: where they open (beside the main
// window where the screen has room, else where they cover it least, else
// where the user left them, kept in sorane-linux.ini), and what a screen
// reader hears of the main window and of them: every control named and
// described in Japanese, walked through Qt's accessibility tree.

#include "dialogs/manual_window.h"
#include "dialogs/years_window.h"
#include "support/diary_fixture.h"
#include "ui/reader_place.h"

#include <QAccessible>
#include <QLineEdit>
#include <QTextBrowser>
#include <QtTest>

namespace {

bool Japanese(const QString& text)
{
    return std::any_of(text.begin(), text.end(), [](QChar c) { return c.unicode() >= 0x3000; });
}

// Every interface below the root, with its path of names for the messages.
void Walk(QAccessibleInterface* node, const QString& path,
          QList<std::pair<QAccessibleInterface*, QString>>& all)
{
    for (int i = 0; i < node->childCount(); ++i) {
        QAccessibleInterface* child = node->child(i);
        if (!child)
            continue;
        const QString here = path + "/" + child->text(QAccessible::Name);
        all.append({child, here});
        Walk(child, here, all);
    }
}

// The controls a user works or reads, as the tree gives them.
bool Control_role(QAccessible::Role role)
{
    using A = QAccessible;
    return QList<QAccessible::Role>{A::EditableText, A::StaticText,  A::ScrollBar, A::PushButton,
                                    A::CheckBox,     A::RadioButton, A::List,      A::Table,
                                    A::ComboBox,     A::SpinBox,     A::MenuItem,  A::Window,
                                    A::Dialog}
        .contains(role);
}

}  // namespace

class Test_reader_windows : public QObject, private Diary_fixture {
    Q_OBJECT

    Years_window* Open_years(Main_form& form)
    {
        Controls_of(form).Menu_years->trigger();
        return Probe(form).years_window;
    }

    // Every control of the window is named, in Japanese; those of our own
    // tables are described too.
    void Verify_named(QWidget& window, bool described, int at_least)
    {
        QAccessibleInterface* root = QAccessible::queryAccessibleInterface(&window);
        QVERIFY(root);
        QVERIFY2(Japanese(root->text(QAccessible::Name)), qPrintable(window.objectName()));
        QList<std::pair<QAccessibleInterface*, QString>> all;
        Walk(root, root->text(QAccessible::Name), all);
        QVERIFY(all.size() >= at_least);
        QStringList unnamed;
        for (const auto& [node, path] : all) {
            QObject* object = node->object();
            auto* widget = qobject_cast<QWidget*>(object);
            if (!Control_role(node->role()) || (widget && !widget->isVisibleTo(&window)))
                continue;
            // The help menu's caption is "?", as it always was.
            const QString name = node->text(QAccessible::Name);
            if (!Japanese(name) && name != "?")
                unnamed << path + QStringLiteral(" (%1)").arg(object ? object->objectName() : "");
            if (described && widget && !widget->objectName().isEmpty() &&
                node->role() != QAccessible::MenuItem &&
                !Japanese(node->text(QAccessible::Description)))
                unnamed << path + " without a description";
        }
        QVERIFY2(unnamed.isEmpty(), qPrintable(unnamed.join('\n')));
    }

private slots:
    void init() { QVERIFY(Set_up()); }
    void cleanup() { Verify_clean(); }

    void Beside_the_main_window_where_the_screen_has_room()
    {
        const Twips_rect main{7000, 3000, 9510, 7020};
        auto same = [](const Twips_rect& a, const Twips_rect& b) {
            return qFuzzyCompare(a.left + 1, b.left + 1) && qFuzzyCompare(a.top + 1, b.top + 1) &&
                   a.width == b.width && a.height == b.height;
        };
        // Room on the right.
        QVERIFY(same(Beside_main(main, 7620, 7035, 28800, 16200), {16510, 3000, 7620, 7035}));
        // 130 twips short on the right and more on the left, room below
        // (a 1600 x 1200 screen).
        QVERIFY(same(Beside_main(main, 7620, 7035, 24000, 18000), {7000, 10020, 7620, 7035}));
        // 130 twips short on the right: narrower there, down to its least.
        QVERIFY(same(Beside_main(main, 7620, 7035, 24000, 18000, 4000), {16510, 3000, 7490, 7035}));
        // Room on the left only; the top kept on the screen.
        QVERIFY(same(Beside_main({10000, -200, 9510, 7020}, 7620, 7035, 20000, 16200),
                     {2380, 0, 7620, 7035}));
        // No room anywhere: at the screen's edge where it covers least.
        QVERIFY(same(Beside_main({1000, 1000, 9510, 7020}, 7620, 7035, 12000, 9000),
                     {4380, 1000, 7620, 7035}));
        QCOMPARE(Place_of_text("100 50 500 440"), QRect(100, 50, 500, 440));
        for (const char* bad : {"", "100 50 500", "a 50 500 440", "100 50 0 440"})
            QVERIFY2(!Place_of_text(bad).isValid(), bad);
    }

    void A_window_opens_beside_the_diary_and_where_the_user_left_it()
    {
        auto form = Start();
        Years_window* page = Open_years(*form);
        // The main window spans 643..1277 of the 1920 pixels: the page goes
        // to its right, at its top.
        QCOMPARE(page->pos(), QPoint(1277, 306));
        QCOMPARE(page->size(), QSize(500, 440));
        page->close();
        // Closed where it opened: nothing to keep.
        QVERIFY(!QFileInfo::exists(At("sorane-linux.ini")));

        Open_years(*form);
        page->move(100, 50);
        page->resize(520, 600);
        page->close();
        QCOMPARE(Read_bytes(At("sorane-linux.ini")),
                 "[backup]\ndaily=true\n\n[this_day]\noldest_first=false\n\n[fulltext]\n"
                 "width=true\ncase=true\nkana=false\n\n[reminder]\non=false\ntime=21:00\n\n"
                 "[windows]\nyears=100 50 520 600\n");
        form.reset();

        // The next run opens it there.
        form = Start();
        page = Open_years(*form);
        QCOMPARE(page->pos(), QPoint(100, 50));
        QCOMPARE(page->size(), QSize(520, 600));
        page->close();
        form.reset();

        // A place off the screen now (a smaller screen) is not taken.
        fake->screen_twips = QSizeF(1024 * 15.0, 768 * 15.0);
        QVERIFY(Write_bytes(At("sorane-linux.ini"), "[windows]\nyears=1500 50 520 600\n"));
        form = Start();
        page = Open_years(*form);
        QVERIFY(page->pos() != QPoint(1500, 50));
        QVERIFY(QRect(0, 0, 1024, 768).contains(page->pos()));
        page->close();
        form.reset();
    }

    void Every_control_is_named_for_a_screen_reader()
    {
        QVERIFY(Write_bytes(At("sorane.txt"), "使い方\n"));
        auto form = Start();
        Verify_named(*form, true, 40);
        QCOMPARE(QAccessible::queryAccessibleInterface(Controls_of(*form).VScroll3)
                     ->text(QAccessible::Name),
                 QStringLiteral("日記の日を変える"));

        Years_window* page = Open_years(*form);
        Verify_named(*page, false, 3);
        page->close();
        fake->open_succeeds = false;
        Controls_of(*form).Menu_tukaikata->trigger();
        auto* manual = form->findChild<Manual_window*>("Manual_window");
        QVERIFY(manual);
        Verify_named(*manual, false, 5);
        manual->close();
        fake->Expect_modal([&](QDialog& import) {
            Verify_named(import, true, 9);
            return 0;
        });
        Controls_of(*form).Menu_import->trigger();
        form.reset();
    }
};

QTEST_MAIN(Test_reader_windows)
#include "test_reader_windows.moc"
