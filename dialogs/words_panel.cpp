#include "dialogs/words_panel.h"

#include "store/store.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QVBoxLayout>

namespace {

constexpr int Words_listed = 100;

}  // namespace

Words_found Find_words(Diary_store& store, int year, int month, unsigned parts, int limit,
                       const std::atomic<bool>* cancel)
{
    Words_found found;
    const QStringList texts = Texts_of(store, year, month, &found.unreadable);
    found.days = int(texts.size());
    if (texts.isEmpty())
        return found;
    Word_analyser analyser;
    if (!analyser.Ok()) {
        found.error = analyser.Error();
        return found;
    }
    found.words = Count_words(analyser, texts, parts, limit, cancel);
    return found;
}

Words_panel::Words_panel(Diary_store& diary_store, std::function<void(const QString&)> search_word,
                         QWidget* parent)
    : QWidget(parent), store(diary_store), search(std::move(search_word)), job(this)
{
    setObjectName(QStringLiteral("Words_panel"));
    auto* title = new QLabel(QStringLiteral("言葉"), this);
    QFont bold = title->font();
    bold.setBold(true);
    title->setFont(bold);
    Combo2 = new QComboBox(this);
    Combo2->setObjectName(QStringLiteral("Combo2"));
    Combo2->setAccessibleName(QStringLiteral("言葉を数える期間"));
    Combo2->addItem(QStringLiteral("年全体"), 0);
    for (int m = 1; m <= 12; ++m)
        Combo2->addItem(QStringLiteral("%1月").arg(m), m);
    Check1 = new QCheckBox(QStringLiteral("名詞"), this);
    Check1->setObjectName(QStringLiteral("Check1"));
    Check1->setChecked(true);
    Check2 = new QCheckBox(QStringLiteral("動詞"), this);
    Check2->setObjectName(QStringLiteral("Check2"));
    Check2->setChecked(true);
    Check3 = new QCheckBox(QStringLiteral("形容詞"), this);
    Check3->setObjectName(QStringLiteral("Check3"));
    List1 = new QListWidget(this);
    List1->setObjectName(QStringLiteral("List1"));
    List1->setAccessibleName(QStringLiteral("よく使った言葉"));
    Label2 = new QLabel(this);
    Label2->setObjectName(QStringLiteral("Label2"));
    Label2->setWordWrap(true);

    auto* parts = new QHBoxLayout;
    parts->addWidget(Check1);
    parts->addWidget(Check2);
    parts->addWidget(Check3);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->addWidget(title);
    column->addWidget(Combo2);
    column->addLayout(parts);
    column->addWidget(List1, 1);
    column->addWidget(Label2);

    connect(Combo2, &QComboBox::currentIndexChanged, this, &Words_panel::Refresh);
    for (QCheckBox* check : {Check1, Check2, Check3})
        connect(check, &QCheckBox::toggled, this, &Words_panel::Refresh);
    auto open = [this](QListWidgetItem* item) {
        if (item && search)
            search(item->data(Qt::UserRole).toString());
    };
    connect(List1, &QListWidget::itemClicked, this, open);
    connect(List1, &QListWidget::itemActivated, this, open);
}

Words_panel::~Words_panel() { job.Cancel(); }

void Words_panel::Set_year(int year)
{
    if (year == year_shown)
        return;
    year_shown = year;
    Refresh();
}

void Words_panel::Refresh()
{
    if (year_shown == 0)
        return;
    if (job.Running()) {
        job.Ask_to_stop();
        again = true;
        return;
    }
    again = false;
    unsigned parts = 0;
    if (Check1->isChecked())
        parts |= Nouns;
    if (Check2->isChecked())
        parts |= Verbs;
    if (Check3->isChecked())
        parts |= Adjectives;
    const int year = year_shown;
    const int month = Combo2->currentData().toInt();
    List1->clear();
    Label2->setText(QStringLiteral("言葉を数えています…"));
    job.Start(
        [this, year, month, parts](const Job_control& control) {
            // A store of its own: the window's thread keeps using the
            // session's.
            Diary_store own(store.App_dir());
            return Find_words(own, year, month, parts, Words_listed, &control.Cancel_flag());
        },
        [this](Words_found found) { Show(std::move(found)); });
}

void Words_panel::Show(Words_found found)
{
    if (again) {
        Refresh();
        return;
    }
    List1->clear();
    const QString period =
        Combo2->currentIndex() == 0
            ? QStringLiteral("%1年").arg(year_shown)
            : QStringLiteral("%1年%2").arg(year_shown).arg(Combo2->currentText());
    if (!found.error.isEmpty()) {
        Label2->setText(found.error);
        return;
    }
    for (const Word_count& w : found.words) {
        auto* item = new QListWidgetItem(QStringLiteral("%1　%2").arg(w.word).arg(w.count), List1);
        item->setData(Qt::UserRole, w.word);
        item->setToolTip(
            QStringLiteral("%1（%2）: %3 回。クリックで全文検索").arg(w.word, w.part).arg(w.count));
    }
    QString note = found.days == 0 ? QStringLiteral("%1には書いた日がありません。").arg(period)
                   : found.words.isEmpty()
                       ? QStringLiteral("%1: 数える言葉がありません。").arg(period)
                       : QStringLiteral("%1の %2 日から。クリックで全文検索します。")
                             .arg(period)
                             .arg(found.days);
    if (!found.unreadable.isEmpty())
        note += QStringLiteral("\n読み込めないファイルは除きました: %1")
                    .arg(QDir::toNativeSeparators(found.unreadable.constFirst().path));
    Label2->setText(note);
}
