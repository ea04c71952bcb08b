#include "runtime/forms/controls/DriveListBox.h"

#include "runtime/forms/controls/PaneWait.h"
#include "runtime/services/FolderListing.h"
#include "runtime/services/Platform.h"

#include <QDir>
#include <QTimer>

namespace rt {

DriveListBox::DriveListBox(QWidget *parent) : QComboBox(parent)
{
    // The system's table alone: no drive is asked, so a dead one delays nothing.
    addItems(platform::drives());
    setDrive(platform::driveOf(QDir::currentPath()));
    connect(this, &QComboBox::activated, this, [this] { emit Change(); });

    // Then each is asked, off the interface thread, whether it answers; one
    // that has not after a few seconds is greyed, and told so, until it does.
    for (int i = 0; i < count(); ++i) {
        const QString drive = itemText(i);
        listing::probe(drive, this, [this, drive] {
            answered_.insert(drive);
            showAnswering(drive, true);
        });
    }
    QTimer::singleShot(PaneWait::kSilentMs, this, [this] {
        for (int i = 0; i < count(); ++i) {
            if (!answered_.contains(itemText(i)))
                showAnswering(itemText(i), false);
        }
    });
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

bool DriveListBox::isAnswering(const QString &drive) const
{
    const int index = findText(drive);
    return index >= 0 && itemData(index, Qt::AccessibleDescriptionRole).toString().isEmpty();
}

void DriveListBox::showAnswering(const QString &drive, bool answering)
{
    const int index = findText(drive);
    if (index < 0)
        return;
    // The text stays the drive's path: it is what Drive reads.
    setItemData(index, answering ? QVariant() : QVariant(QColor(Qt::gray)), Qt::ForegroundRole);
    setItemData(index, answering ? QVariant() : QVariant(PaneWait::kSilentText), Qt::ToolTipRole);
    setItemData(index, answering ? QVariant() : QVariant(PaneWait::kSilentText), Qt::AccessibleDescriptionRole);
}

}  // namespace rt
