// The file list's listing: read in the folder's lane, taken in batches.
#include "runtime/forms/controls/FileListBox.h"

#include "runtime/forms/controls/NameListModel.h"
#include "runtime/forms/controls/PaneWait.h"
#include "runtime/services/FolderListing.h"

#include <QApplication>
#include <QDir>
#include <QKeyEvent>
#include <QRegularExpression>

namespace rt {

void FileListBox::list(const QString &keepSelected)
{
    const QString folder = QDir::fromNativeSeparators(path_);
    QList<QRegularExpression> patterns;
    for (const QString &pattern : pattern_.split(QLatin1Char(';'), Qt::SkipEmptyParts))
        patterns.append(QRegularExpression::fromWildcard(pattern, Qt::CaseInsensitive));
    listing::Request request{folder, platform::EntryKind::File, [folder, patterns](const QString &name) {
                                 const bool matches =
                                     std::any_of(patterns.begin(), patterns.end(), [&](const QRegularExpression &re) {
                                         return re.match(name).hasMatch();
                                     });
                                 return matches && platform::isFaithfulName(folder, name);
                             }};

    listed_ = listing_ = true;
    keepSelected_ = keepSelected;
    clearOnAnswer_ = !keepSelected.isEmpty();
    if (!clearOnAnswer_)
        rows_->reset();
    heldDowns_ = 0;
    wait_->begin();
    const quint64 ticket = latest_.next();
    listing::list(std::move(request), this, [this, ticket](listing::Step step) {
        if (latest_.isNewest(ticket))
            take(std::move(step));
    });
}

void FileListBox::take(listing::Step step)
{
    wait_->answered();
    if (clearOnAnswer_) {
        clearOnAnswer_ = false;
        rows_->reset();
    }
    for (const QString &name : std::as_const(step.gone))
        rows_->remove(name);
    if (!step.names.isEmpty())
        insertSorted(std::move(step.names));
    if (step.end)
        endListing();
}

void FileListBox::insertSorted(QStringList names)
{
    const bool keepsSelected = !keepSelected_.isEmpty() && names.contains(keepSelected_);
    rows_->insert(names);
    if (keepsSelected) {
        setListIndex(indexOf(keepSelected_));
        keepSelected_.clear();
    }
    emit entriesAdded(names);
}

void FileListBox::endListing()
{
    listing_ = false;
    keepSelected_.clear();
    wait_->end();
    // The Down presses that came meanwhile, as the focused list takes them,
    // unless a control of the active window has taken the focus since.
    const QWidget *focused = QApplication::focusWidget();
    const bool elsewhere = focused && focused != this && focused->isVisible() && focused->isActiveWindow();
    for (int held = std::exchange(heldDowns_, 0); held > 0 && !elsewhere; --held) {
        QKeyEvent down(QEvent::KeyPress, Qt::Key_Down, Qt::NoModifier);
        QListView::keyPressEvent(&down);
    }
    emit listingEnded();
}

}  // namespace rt
