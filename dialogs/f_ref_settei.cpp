#include "dialogs/f_ref_settei.h"

#include "dialogs/placement.h"

#include "app/main_form.h"

#include <QLabel>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>

namespace {

constexpr double Client_width = 6495;
constexpr double Client_height = 2325;

}  // namespace

F_ref_settei::F_ref_settei(Main_form& main_form) : QDialog(&main_form), main_form(main_form)
{
    setObjectName(QStringLiteral("F_ref_settei"));
    // A fixed dialog: a title and a close box, nothing to minimize or maximize.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);
    QPalette yellow = palette();
    yellow.setColor(QPalette::Window, QColor(255, 255, 0));
    setPalette(yellow);
    setAutoFillBackground(true);
    QFont font(QStringLiteral("ＭＳ ゴシック"));
    font.setPointSizeF(11.25);
    setFont(font);

    const double dpi = main_form.Dpi();
    auto place = [dpi](QWidget* control, const char* name, Twips_rect r) {
        control->setObjectName(QLatin1String(name));
        control->setGeometry(To_pixels(r, dpi));
    };
    Label1 =
        new QLabel(QStringLiteral("起動時に、参照ウィンドウに読み込む日記を設定します。"), this);
    place(Label1, "Label1", {240, 180, 5850, 225});
    // One group: the three share this dialog as parent, so at most one is
    // selected, and none when ref_mode is none of theirs.
    Option1 = new QRadioButton(QStringLiteral("一年前の同月同日"), this);
    place(Option1, "Option1", {720, 600, 2595, 495});
    Option2 = new QRadioButton(QStringLiteral("昨日"), this);
    place(Option2, "Option2", {720, 1140, 1215, 495});
    Option3 = new QRadioButton(QStringLiteral("前回参照していた日"), this);
    place(Option3, "Option3", {720, 1680, 2595, 495});
    Command2 = new QPushButton(QStringLiteral("OK"), this);
    place(Command2, "Command2", {5160, 900, 1215, 495});
    Command1 = new QPushButton(QStringLiteral("CANSEL"), this);
    place(Command1, "Command1", {5160, 1680, 1215, 495});

    setTabOrder(Command2, Command1);
    setTabOrder(Command1, Option1);
    setTabOrder(Option1, Option2);
    setTabOrder(Option2, Option3);

    connect(Command2, &QPushButton::clicked, this, &F_ref_settei::Command2_Click);
    connect(Command1, &QPushButton::clicked, this, &F_ref_settei::Command1_Click);
    // The title bar's close and Esc reject the dialog, as CANSEL does.

    Form_Load();
}

void F_ref_settei::Form_Load()
{
    Centre_over_main_form(*this, main_form, Client_width, Client_height);

    setWindowTitle(App_title);

    switch (main_form.state.ref_mode) {
    case 1: Option1->setChecked(true); break;
    case 2: Option2->setChecked(true); break;
    case 3: Option3->setChecked(true); break;
    default: break;
    }
    Command2->setFocus();
}

void F_ref_settei::Command2_Click()
{
    if (Option1->isChecked())
        main_form.state.ref_mode = 1;
    else if (Option2->isChecked())
        main_form.state.ref_mode = 2;
    else if (Option3->isChecked())
        main_form.state.ref_mode = 3;
    accept();
}

void F_ref_settei::Command1_Click() { reject(); }
