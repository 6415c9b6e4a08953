#pragma once
// 言葉: the most frequent words of a year or of one of its months, as a
// list with their counts, found off the window's thread by the analyser of
// diary/words.h (loaded at the first list). A click on a word opens 全文検索
// with it. A missing analyser or dictionary is said in the panel, in
// Japanese; the rest of the 記録 window works without it.

#include "diary/words.h"
#include "platform/background_job.h"

#include <QWidget>
#include <functional>

class Diary_store;
class QCheckBox;
class QComboBox;
class QLabel;
class QListWidget;

struct Words_found {
    QList<Word_count> words;
    QString error;  // the analyser could not start
    QList<Io_result> unreadable;
    int days = 0;
};

// The words of a year (month 0) or a month, at most limit of them.
Words_found Find_words(Diary_store& store, int year, int month, unsigned parts, int limit,
                       const std::atomic<bool>* cancel = nullptr);

class Words_panel : public QWidget {
    Q_OBJECT

public:
    Words_panel(Diary_store& diary_store, std::function<void(const QString&)> search_word,
                QWidget* parent = nullptr);
    ~Words_panel() override;

    // The year whose words are listed; the list is made again.
    void Set_year(int year);
    void Refresh();
    bool Busy() const { return job.Running(); }
    // Waits until the list asked for last is shown.
    void Wait()
    {
        while (job.Running())
            job.Wait();
    }

    QComboBox* Combo2 = nullptr;  // 年全体, 1月 … 12月
    QCheckBox* Check1 = nullptr;  // 名詞
    QCheckBox* Check2 = nullptr;  // 動詞
    QCheckBox* Check3 = nullptr;  // 形容詞
    QListWidget* List1 = nullptr;
    QLabel* Label2 = nullptr;  // what the list shows, or why it is empty

private:
    void Show(Words_found found);

    Diary_store& store;
    std::function<void(const QString&)> search;
    int year_shown = 0;
    bool again = false;
    Background_job<Words_found> job;
};
