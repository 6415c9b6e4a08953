#pragma once
// 写真: one of a day's pictures at a time, as large as the window allows
// (原寸 shows it pixel for pixel, in a scrolled view), turned as its EXIF
// orientation says; ← and → (or 前へ / 次へ) go to the day's other pictures.
// A picture that cannot be read shows its name and why, never a crash.

#include "ui/placement.h"

#include <QDialog>
#include <QImage>
#include <QStringList>

class QLabel;
class QPushButton;
class QScrollArea;

class Photo_window : public QDialog {
    Q_OBJECT

public:
    Photo_window(const Dialog_host& main_host, const QStringList& photo_paths, int start,
                 const QString& day_caption);

    int Index() const { return index; }
    // Moves to the picture at i (wrapping at both ends).
    void Show_photo(int i);
    // The picture as read (empty when it could not be).
    const QImage& Image() const { return image; }

    QLabel* Label1 = nullptr;         // the picture, or why it cannot be shown
    QLabel* Label2 = nullptr;         // its name and place in the day
    QPushButton* Command1 = nullptr;  // 前へ
    QPushButton* Command2 = nullptr;  // 次へ
    QPushButton* Command3 = nullptr;  // 原寸 / 全体
    QPushButton* Command4 = nullptr;  // 閉じる

protected:
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Fit();
    QStringList paths;
    QString caption;
    int index = 0;
    QImage image;
    bool actual_size = false;
    QScrollArea* area = nullptr;
};
