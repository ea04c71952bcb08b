#pragma once

#include <QComboBox>
#include <QSet>

namespace rt {

// The drive list: the platform's drives, one chosen. A drive that does not
// answer is listed as any other, greyed and described as not answering
// (PaneWait::kSilentText) once it has kept silent for a few seconds.
class DriveListBox : public QComboBox
{
    Q_OBJECT
    Q_PROPERTY(QString Drive READ drive WRITE setDrive)
public:
    explicit DriveListBox(QWidget *parent = nullptr);

    QString drive() const { return currentText(); }
    void setDrive(const QString &drive);
    bool isAnswering(const QString &drive) const;

signals:
    void Change();

private:
    void showAnswering(const QString &drive, bool answering);

    QSet<QString> answered_;
};

}  // namespace rt
