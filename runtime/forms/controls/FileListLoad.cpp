// The file list's listing: read in the folder's lane, taken in batches.
#include "runtime/forms/controls/FileListBox.h"

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
    if (!clearOnAnswer_) {
        clear();
        setCurrentRow(-1);
    }
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
        clear();
        setCurrentRow(-1);
    }
    for (const QString &name : std::as_const(step.gone))
        qDeleteAll(findItems(name, Qt::MatchExactly));
    if (!step.names.isEmpty())
        insertSorted(std::move(step.names));
    if (step.end)
        endListing();
}

// Each batch is sorted on its own and merged in: runs of names that fall
// between the same two entries go in together, and the first batch of a
// folder (often the whole of it) in one piece.
void FileListBox::insertSorted(QStringList names)
{
    sortNaturally(names);
    int row = 0;
    for (qsizetype first = 0; first < names.size();) {
        int low = row, high = count();
        while (low < high) {
            const int middle = (low + high) / 2;
            if (order_(item(middle)->text(), names[first]))
                low = middle + 1;
            else
                high = middle;
        }
        row = low;
        qsizetype last = first + 1;
        if (row < count()) {
            const QString next = item(row)->text();
            while (last < names.size() && order_(names[last], next))
                ++last;
        } else {
            last = names.size();
        }
        insertItems(row, names.mid(first, last - first));
        row += int(last - first);
        first = last;
    }
    if (!keepSelected_.isEmpty() && names.contains(keepSelected_)) {
        const auto found = findItems(keepSelected_, Qt::MatchExactly);
        if (!found.isEmpty())
            setCurrentItem(found.first());
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
        QListWidget::keyPressEvent(&down);
    }
    emit listingEnded();
}

}  // namespace rt
