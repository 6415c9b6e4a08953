#include "dialogs/photo_window.h"

#include "ui/look.h"
#include "ui/sealed_picture.h"

#include <QBuffer>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QImageReader>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QVBoxLayout>

namespace {

// The client size the window opens with, in twips (800 x 600 pixels at
// 96 DPI); it may be made larger or smaller.
constexpr double Photo_window_width = 12000;
constexpr double Photo_window_height = 9000;

QString Read_failure(const QImageReader& reader)
{
    switch (reader.error()) {
    case QImageReader::FileNotFoundError: return QStringLiteral("ファイルが見つかりません。");
    case QImageReader::UnsupportedFormatError: return QStringLiteral("画像の形式がわかりません。");
    case QImageReader::DeviceError: return QStringLiteral("ファイルを読めません。");
    default: return QStringLiteral("画像が壊れています。");
    }
}

}  // namespace

Photo_window::Photo_window(const Dialog_host& main_host, const QStringList& photo_paths, int start,
                           const QString& day_caption)
    : QDialog(main_host.window), paths(photo_paths), caption(day_caption)
{
    setObjectName(QStringLiteral("Photo_window"));
    setWindowTitle(QStringLiteral("写真"));
    Set_window_look(*this, look::Main_green);
    area = new QScrollArea(this);
    area->setAlignment(Qt::AlignCenter);
    area->setWidgetResizable(false);
    Label1 = new QLabel;
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setAlignment(Qt::AlignCenter);
    Label1->setWordWrap(true);
    area->setWidget(Label1);
    Label2 = new QLabel(this);
    Label2->setObjectName(QStringLiteral("Label2"));
    Label2->setFont(Diary_font());
    auto button = [this](QPushButton*& b, const char* name, const QString& text) {
        b = new QPushButton(text, this);
        b->setObjectName(QLatin1String(name));
        b->setAutoDefault(false);
        b->setFont(Diary_font());
    };
    button(Command1, "Command1", QStringLiteral("← 前へ"));
    button(Command2, "Command2", QStringLiteral("次へ →"));
    button(Command3, "Command3", QStringLiteral("原寸"));
    button(Command4, "Command4", QStringLiteral("閉じる"));
    auto* row = new QHBoxLayout;
    row->addWidget(Command1);
    row->addWidget(Command2);
    row->addWidget(Label2, 1);
    row->addWidget(Command3);
    row->addWidget(Command4);
    auto* column = new QVBoxLayout(this);
    column->addWidget(area, 1);
    column->addLayout(row);
    connect(Command1, &QPushButton::clicked, this, [this] { Show_photo(index - 1); });
    connect(Command2, &QPushButton::clicked, this, [this] { Show_photo(index + 1); });
    connect(Command3, &QPushButton::clicked, this, [this] {
        actual_size = !actual_size;
        Command3->setText(actual_size ? QStringLiteral("全体") : QStringLiteral("原寸"));
        Fit();
    });
    connect(Command4, &QPushButton::clicked, this, &QDialog::accept);
    // The arrows go to the other pictures: nothing in the window takes the
    // focus (a button would move the focus with them, the view would scroll).
    for (QWidget* w : std::initializer_list<QWidget*>{Command1, Command2, Command3, Command4, area})
        w->setFocusPolicy(Qt::NoFocus);
    setFocusPolicy(Qt::StrongFocus);
    // The room the picture has is known once the layout has placed the view.
    area->viewport()->installEventFilter(this);
    Centre_over_main(*this, main_host, Photo_window_width, Photo_window_height);
    Show_photo(start);
}

void Photo_window::Show_photo(int i)
{
    if (paths.isEmpty())
        return;
    const int count = int(paths.size());
    index = ((i % count) + count) % count;
    const QString path = paths[index];
    const QString name = QFileInfo(path).fileName();
    // A locked diary's picture is opened into memory and shown from there.
    QByteArray opened;
    QString sealed_error;
    const Picture_place place = Open_picture(path, opened, sealed_error);
    QBuffer opened_buffer(&opened);
    QImageReader reader;
    if (place == Picture_place::Memory && opened_buffer.open(QIODevice::ReadOnly))
        reader.setDevice(&opened_buffer);
    else if (place == Picture_place::File)
        reader.setFileName(path);
    reader.setAutoTransform(true);
    image = place == Picture_place::Failed ? QImage() : reader.read();
    Label2->setText(
        QStringLiteral("%1　%2（%3／%4）").arg(caption, name).arg(index + 1).arg(count));
    Command1->setEnabled(count > 1);
    Command2->setEnabled(count > 1);
    Command3->setEnabled(!image.isNull());
    if (image.isNull()) {
        Label1->setPixmap(QPixmap());
        Label1->setText(QStringLiteral("この写真は表示できません。\n%1\n%2")
                            .arg(name, place == Picture_place::Failed
                                           ? sealed_error + QStringLiteral("。")
                                           : Read_failure(reader)));
    }
    Fit();
}

void Photo_window::Fit()
{
    if (image.isNull()) {
        Label1->resize(area->viewport()->size());
        return;
    }
    const qreal ratio = devicePixelRatioF();
    QImage shown = image;
    if (!actual_size) {
        const QSize room = area->viewport()->size() * ratio;
        if (image.width() > room.width() || image.height() > room.height())
            shown = image.scaled(room, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    }
    QPixmap pixmap = QPixmap::fromImage(shown);
    pixmap.setDevicePixelRatio(ratio);
    Label1->setPixmap(pixmap);
    Label1->resize(pixmap.deviceIndependentSize().toSize());
}

void Photo_window::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Left || event->key() == Qt::Key_Right) {
        Show_photo(index + (event->key() == Qt::Key_Left ? -1 : 1));
        return;
    }
    QDialog::keyPressEvent(event);
}

bool Photo_window::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == area->viewport() && event->type() == QEvent::Resize && !actual_size)
        Fit();
    return QDialog::eventFilter(watched, event);
}
