#pragma once

#include <QTreeWidget>

namespace rt {

// The folder list: the current folder's ancestors from the root down, the
// current folder opened, and its subfolders below it. Opening an entry (double
// click or Enter) makes it the current folder.
class DirListBox : public QTreeWidget
{
    Q_OBJECT
    Q_PROPERTY(QString Path READ path WRITE setPath)
public:
    explicit DirListBox(QWidget *parent = nullptr);

    QString path() const { return path_; }  // native separators
    // Throws RuntimeError when the folder cannot be entered; nothing changes then.
    void setPath(const QString &path);

signals:
    void Change();

protected:
    void keyPressEvent(QKeyEvent *event) override;
    // Every entry is always open: no expand or collapse marks.
    void drawBranches(QPainter *, const QRect &, const QModelIndex &) const override {}

private:
    void openItem(QTreeWidgetItem *item);
    void rebuild();

    QString path_;
};

} // namespace rt
