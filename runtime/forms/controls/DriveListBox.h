#pragma once

#include <QComboBox>

namespace rt {

// The drive list: the platform's drives, one chosen.
class DriveListBox : public QComboBox
{
    Q_OBJECT
    Q_PROPERTY(QString Drive READ drive WRITE setDrive)
public:
    explicit DriveListBox(QWidget *parent = nullptr);

    QString drive() const { return currentText(); }
    void setDrive(const QString &drive);

signals:
    void Change();
};

} // namespace rt
