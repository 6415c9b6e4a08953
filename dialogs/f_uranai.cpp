#include "dialogs/f_uranai.h"

#include "fortune/draw_fortune.h"
#include "platform/clock.h"
#include "platform/platform.h"
#include "ui/look.h"

#include <QEvent>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>

namespace {

// The client area.
constexpr double Client_width = 5070;
constexpr double Client_height = 2760;

struct Label_place {
    QLabel* F_uranai::*label;
    const char* name;
    const char16_t* caption;
    Twips_rect rect;
};

// Design places and captions; each label then sizes itself to its text.
const Label_place Label_places[] = {
    {&F_uranai::Label4, "Label4", u"全体運：", {480, 240, 900, 225}},
    {&F_uranai::Label5, "Label5", u"計算中", {1440, 240, 675, 225}},
    {&F_uranai::Label1, "Label1", u"ラッキーカラー：", {480, 720, 1800, 225}},
    {&F_uranai::Label6, "Label6", u"計算中", {2400, 720, 675, 225}},
    {&F_uranai::Label2, "Label2", u"ラッキーナンバー：", {480, 1200, 2025, 225}},
    {&F_uranai::Label7, "Label7", u"計算中", {2640, 1200, 675, 225}},
    {&F_uranai::Label3, "Label3", u"アドバイス：", {480, 1680, 1350, 225}},
    {&F_uranai::Label8, "Label8", u"計算中", {1920, 1680, 675, 225}},
};
constexpr Twips_rect Command1_place{1920, 2220, 1275, 435};

const QString Waiting_title = QStringLiteral("計算中です。しばらくお待ち下さい。");
const QString Computing = QStringLiteral("計算中");

// "2027年01月01日の運勢です" for the day after today.
QString Tomorrow_heading(const QDate& today)
{
    const QDate tomorrow = today.addDays(1);
    return QStringLiteral("%1年%2月%3日の運勢です")
        .arg(tomorrow.year(), 4, 10, QLatin1Char('0'))
        .arg(tomorrow.month(), 2, 10, QLatin1Char('0'))
        .arg(tomorrow.day(), 2, 10, QLatin1Char('0'));
}

// Shows the drawing's reports in the window. It holds the window by a
// guarded pointer: during the wait phase the window may be closed or
// destroyed, and the drawing is then told to stop.
class Window_listener final : public Fortune_listener {
public:
    Window_listener(F_uranai* shown_in, Platform& platform_layer, Clock& time_source)
        : window(shown_in), platform(platform_layer), clock(time_source)
    {}

    void Pass_events() override { platform.Process_events_once(); }
    void Wait_over() override
    {
        if (window)
            window->setWindowTitle(Tomorrow_heading(clock.Now().date()));
    }
    void Luck_told(const QString& luck) override { Show(&F_uranai::Label5, luck); }
    void Color_told(const QString& color) override { Show(&F_uranai::Label6, color); }
    void Number_told(const QString& number) override { Show(&F_uranai::Label7, number); }
    void Advice_told(const QString& advice) override { Show(&F_uranai::Label8, advice); }
    bool Stop_requested() override { return !window || window->Closed(); }

private:
    void Show(QLabel* F_uranai::*label, const QString& text)
    {
        if (window)
            F_uranai::Set_caption(window->*label, text);
    }

    QPointer<F_uranai> window;
    Platform& platform;
    Clock& clock;
};

}  // namespace

F_uranai::F_uranai(const Dialog_host& main_host, Clock& time_source, Random_generator& drawing,
                   qint32 diary_length)
    : QDialog(main_host.window), host(main_host), clock(time_source), generator(drawing),
      text_length(diary_length)
{
    setObjectName(QStringLiteral("F_uranai"));
    setWindowFlag(Qt::MSWindowsFixedSizeDialogHint);
    Set_window_look(*this, look::Fortune_green);
    QFont font = this->font();
    font.setWeight(QFont::Normal);
    setFont(font);

    for (const Label_place& place : Label_places) {
        auto* label = new QLabel(this);
        label->setObjectName(QLatin1String(place.name));
        label->setAutoFillBackground(true);  // the window's green
        label->setGeometry(Pixels_of(*host.window, place.rect));
        Set_caption(label, QString::fromUtf16(place.caption));
        this->*place.label = label;
    }
    Command1 = new QPushButton(QStringLiteral("OK"), this);
    Command1->setObjectName(QStringLiteral("Command1"));
    Command1->setGeometry(Pixels_of(*host.window, Command1_place));
    connect(Command1, &QPushButton::clicked, this, &QDialog::accept);

    Form_Load();
}

F_uranai::~F_uranai() = default;

void F_uranai::Set_caption(QLabel* label, const QString& text)
{
    label->setText(text);
    label->resize(label->sizeHint());
}

void F_uranai::Form_Load()
{
    // Centred over the main window by the outer sizes, screen edges or not.
    Centre_over_main(*this, host, Client_width, Client_height);
    setWindowTitle(Waiting_title);
}

bool F_uranai::event(QEvent* event)
{
    if (event->type() == QEvent::WindowActivate && !activated) {
        activated = true;
        // Not inside the activation itself: the drawing handles events, and
        // the window may be gone when it returns. A queued call to a
        // destroyed window is dropped.
        QMetaObject::invokeMethod(this, &F_uranai::Form_Activate, Qt::QueuedConnection);
    }
    return QDialog::event(event);
}

void F_uranai::done(int result)
{
    closed = true;
    QDialog::done(result);
}

void F_uranai::Form_Activate()
{
    if (closed)
        return;  // closed before the drawing began: nothing to show
    Set_caption(Label4, QStringLiteral("全体運："));
    Set_caption(Label1, QStringLiteral("ラッキーカラー："));
    Set_caption(Label2, QStringLiteral("ラッキーナンバー："));
    Set_caption(Label3, QStringLiteral("アドバイス："));
    for (QLabel* value : {Label5, Label6, Label7, Label8})
        Set_caption(value, Computing);
    Command1->setText(QStringLiteral("OK"));

    // Everything the drawing needs outlives this window; the window itself
    // is reached only through the listener's guarded pointer. The busy
    // pointer is held until the drawing returns, on every path.
    Platform& platform = host.platform;
    Window_listener listener(this, platform, clock);
    const auto busy = platform.Busy_pointer();
    const qint32 length = text_length;
    Draw_fortune(
        clock, generator, [length] { return length; }, listener);
    // Nothing of this window may be used here: it may have been destroyed.
}
