// 検索 → 記録: the window of how much was written and of the words of a
// year, made on first use and kept; a word clicked there is searched for in
// 全文検索.

#include "app/main_form.h"
#include "dialogs/fulltext_window.h"
#include "dialogs/records_window.h"
#include "fulltext/fulltext.h"
#include "platform/clock.h"

#include <QLineEdit>

void Main_form::Menu_records_Click()
{
    if (!records_window) {
        auto show_day = [this](int year, int month, int day) {
            Show_reference_day(year, month, day);
        };
        auto search_word = [this, show_day](const QString& word) {
            if (!fulltext_window)
                fulltext_window = new Fulltext_window(Host(), session.App_dir(),
                                                      Default_fulltext_cache_folder(), show_day);
            fulltext_window->Words->setText(word);
            fulltext_window->Form_Load();
            platform.Run_modal(*fulltext_window);
        };
        records_window = new Records_window(
            Host(), session.Store(), show_day, Default_fulltext_cache_folder(),
            [this] { return session.Time().Now().date(); }, search_word);
    }
    records_window->Open();
}

void Main_form::Records_follow_save()
{
    if (records_window && records_window->isVisible())
        records_window->Refresh();
}
