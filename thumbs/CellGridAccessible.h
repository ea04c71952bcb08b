#pragma once

#include <QAccessibleWidget>
#include <QHash>

class CellGrid;

// What screen readers see of the cell grid: a list whose items are its
// cells, each named by its caption, the current cell the focused one. An
// item's interface is made when a reader first asks for it, so a hundred
// thousand cells cost nothing until they are visited.
class CellGridAccessible : public QAccessibleWidget
{
public:
    explicit CellGridAccessible(CellGrid *grid);
    ~CellGridAccessible() override;

    // Installed once, by the first grid made.
    static QAccessibleInterface *factory(const QString &className, QObject *object);

    int childCount() const override;
    QAccessibleInterface *child(int index) const override;
    int indexOfChild(const QAccessibleInterface *child) const override;
    QAccessibleInterface *childAt(int x, int y) const override;
    QAccessibleInterface *focusChild() const override;

private:
    CellGrid *grid() const;

    mutable QHash<int, QAccessible::Id> made_;  // cell, its registered interface
};
