#pragma once

#include "runtime/pictures/Picture.h"

#include <QListWidget>

namespace rt {

// The file list: the files of one folder whose names match the pattern
// ("*.bmp;*.jpg", without regard to case), in the order a file manager shows
// them (natural order: img2 before img10), hidden files left out.
class FileListBox : public QListWidget
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
    QString fileName() const;                  // the selected entry, or ""
    int listIndex() const;                     // -1 when nothing is selected
    void setListIndex(int index);
    int listCount() const { return count(); }
    // Reads the folder again, keeping the selected name where it is still there.
    void Refresh();

    void setDragIcon(const QPixmap &icon) { dragIcon_ = icon; }
    // Arms a drag from this list: it starts once the pointer moves past the
    // platform's drag distance with the button still down.
    void Drag();

signals:
    void MouseDown(int button, int shift, QPoint position);
    void DblClick();

protected:
    void showEvent(QShowEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;

private:
    void list(const QString &keepSelected);

    QString path_;
    QString pattern_ = QStringLiteral("*.*");
    QPixmap dragIcon_;
    bool listed_ = false;
    bool dragArmed_ = false;
    QPoint pressPosition_;
};

} // namespace rt
