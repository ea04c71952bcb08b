#include "runtime/forms/controls/DriveListBox.h"

#include "runtime/services/Platform.h"

#include <QDir>

namespace rt {

DriveListBox::DriveListBox(QWidget *parent)
    : QComboBox(parent)
{
    addItems(platform::drives());
    setDrive(platform::driveOf(QDir::currentPath()));
    connect(this, &QComboBox::activated, this, [this] { emit Change(); });
}

void DriveListBox::setDrive(const QString &drive)
{
    int index = findText(drive);
    if (index < 0) {
        addItem(drive);
        index = count() - 1;
    }
    setCurrentIndex(index);
}

} // namespace rt
