#include "dialogs/f_ref_settei.h"

#include "platform/platform.h"
#include "ui/look.h"

#include <QLabel>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>

namespace {

constexpr double Client_width = 6495;
constexpr double Client_height = 2325;

constexpr Control_place F_ref_settei_places[] = {
    {"Label1", {240, 180, 5850, 225}},    {"Option1", {720, 600, 2595, 495}},
    {"Option2", {720, 1140, 1215, 495}},  {"Option3", {720, 1680, 2595, 495}},
    {"Command2", {5160, 900, 1215, 495}}, {"Command1", {5160, 1680, 1215, 495}},
};

}  // namespace

F_ref_settei::F_ref_settei(const Dialog_host& main_host, int& setting)
    : QDialog(main_host.window), host(main_host), ref_mode(setting)
{
    setObjectName(QStringLiteral("F_ref_settei"));
    // A fixed dialog: a title and a close box, nothing to minimize or maximize.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);
    Set_window_look(*this, look::Yellow);

    auto name = [](QWidget* control, const char* object_name) {
        control->setObjectName(QLatin1String(object_name));
    };
    Label1 =
        new QLabel(QStringLiteral("起動時に、参照ウィンドウに読み込む日記を設定します。"), this);
    name(Label1, "Label1");
    // One group: the three share this dialog as parent, so at most one is
    // selected, and none when ref_mode is none of theirs.
    Option1 = new QRadioButton(QStringLiteral("一年前の同月同日"), this);
    name(Option1, "Option1");
    Option2 = new QRadioButton(QStringLiteral("昨日"), this);
    name(Option2, "Option2");
    Option3 = new QRadioButton(QStringLiteral("前回参照していた日"), this);
    name(Option3, "Option3");
    Command2 = new QPushButton(QStringLiteral("OK"), this);
    name(Command2, "Command2");
    Command1 = new QPushButton(QStringLiteral("CANSEL"), this);
    name(Command1, "Command1");

    Place_controls(*this, F_ref_settei_places);

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
    Centre_over_main(*this, host, Client_width, Client_height);

    setWindowTitle(App_title);

    switch (ref_mode) {
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
        ref_mode = 1;
    else if (Option2->isChecked())
        ref_mode = 2;
    else if (Option3->isChecked())
        ref_mode = 3;
    accept();
}

void F_ref_settei::Command1_Click() { reject(); }
