#pragma once

#include "runtime/pictures/Picture.h"
#include "runtime/services/FileJobs.h"
#include "runtime/services/NameList.h"

#include <QListView>

namespace rt {

class NameListModel;
class PaneWait;
namespace listing {
struct Step;
}

// The file list: the files of one folder whose names match the pattern
// ("*.bmp;*.jpg", without regard to case), in the order a file manager shows
// them (natural order: img2 before img10), hidden files left out.
//
// The folder is read off the interface thread and the list fills as names
// come; what comes from a listing that a newer one replaced is dropped. A
// Down-arrow press that arrives while the list is still being read is held
// and applied once it is complete (if the list still has the focus), so that
// it selects what it selects in the whole list. The names are kept in one
// block, however many; the view makes nothing for a row it does not paint.
class FileListBox : public QListView
{
    Q_OBJECT
    Q_PROPERTY(QString Path READ path WRITE setPath)
    Q_PROPERTY(QString Pattern READ pattern WRITE setPattern)
    Q_PROPERTY(QString FileName READ fileName)
    Q_PROPERTY(int ListIndex READ listIndex WRITE setListIndex)
    Q_PROPERTY(int ListCount READ listCount)
public:
    explicit FileListBox(QWidget *parent = nullptr);

    QString path() const { return path_; }  // native separators
    void setPath(const QString &path);      // lists anew, nothing selected
    QString pattern() const { return pattern_; }
    void setPattern(const QString &pattern);  // lists anew in the same folder
    QString fileName() const;                 // the selected entry, or ""
    int listIndex() const;                    // -1 when nothing is selected
    void setListIndex(int index);
    int listCount() const;
    QString entry(int row) const;
    int indexOf(const QString &name) const;  // -1 when not listed
    QRect entryRect(int row) const;          // in the viewport
    const NameList &names() const;
    // Reads the folder again, keeping the selected name where it is still there.
    void Refresh();
    bool isListing() const { return listing_; }

    void setDragIcon(const QPixmap &icon) { dragIcon_ = icon; }
    // Arms a drag from this list: it starts once the pointer moves past the
    // platform's drag distance with the button still down.
    void Drag();

signals:
    void MouseDown(int button, int shift, QPoint position);
    void DblClick();
    // The listing brought these names, now in the list (in their order there).
    void entriesAdded(const QStringList &names);
    void listingEnded();

protected:
    void showEvent(QShowEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;

private:
    void list(const QString &keepSelected);
    void take(listing::Step step);
    void insertSorted(QStringList names);
    int currentListed() const;  // the current row when it is selected, else -1
    void endListing();

    QString path_;
    QString pattern_ = QStringLiteral("*.*");
    QPixmap dragIcon_;
    bool listed_ = false;
    bool listing_ = false;
    bool clearOnAnswer_ = false;  // a refresh keeps the old names until the new ones come
    QString keepSelected_;        // selected again once it is listed
    int heldDowns_ = 0;
    Latest latest_;
    NameListModel *rows_;
    PaneWait *wait_;
    bool dragArmed_ = false;
    QPoint pressPosition_;
};

}  // namespace rt
