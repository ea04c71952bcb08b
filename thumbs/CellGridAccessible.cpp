#include "thumbs/CellGridAccessible.h"

#include "thumbs/CellGrid.h"

#include <QPointer>
#include <QWindow>

namespace {

// Cell `index` of a grid, as a list item; invalid once the grid is gone.
class CellAccessible : public QAccessibleInterface
{
public:
    CellAccessible(CellGrid *grid, int index) : grid_(grid), index_(index) {}
    const CellGrid *grid() const { return grid_; }
    int index() const { return index_; }

    bool isValid() const override { return grid_ && index_ < grid_->count(); }
    QObject *object() const override { return nullptr; }
    QWindow *window() const override { return grid_ ? grid_->window()->windowHandle() : nullptr; }
    QAccessibleInterface *parent() const override { return QAccessible::queryAccessibleInterface(grid_); }
    QAccessibleInterface *child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface *) const override { return -1; }
    QAccessibleInterface *childAt(int, int) const override { return nullptr; }
    QAccessible::Role role() const override { return QAccessible::ListItem; }
    void setText(QAccessible::Text, const QString &) override {}

    QString text(QAccessible::Text t) const override
    {
        return isValid() && t == QAccessible::Name ? grid_->caption(index_) : QString();
    }

    QRect rect() const override
    {
        if (!isValid())
            return {};
        const QRect cell = grid_->cellRect(index_);
        return QRect(grid_->mapToGlobal(cell.topLeft()), cell.size());
    }

    QAccessible::State state() const override
    {
        QAccessible::State state;
        state.focusable = true;
        state.focused = isValid() && grid_->hasFocus() && grid_->current() == index_;
        state.invisible = !isValid() || !grid_->at(index_).imageVisible;
        return state;
    }

private:
    QPointer<CellGrid> grid_;
    int index_;
};

}  // namespace

CellGridAccessible::CellGridAccessible(CellGrid *grid) : QAccessibleWidget(grid, QAccessible::List) {}

CellGridAccessible::~CellGridAccessible()
{
    for (const QAccessible::Id id : std::as_const(made_))
        QAccessible::deleteAccessibleInterface(id);
}

QAccessibleInterface *CellGridAccessible::factory(const QString &className, QObject *object)
{
    if (className == QLatin1String("CellGrid") && object && object->isWidgetType())
        return new CellGridAccessible(static_cast<CellGrid *>(object));
    return nullptr;
}

CellGrid *CellGridAccessible::grid() const { return static_cast<CellGrid *>(widget()); }

int CellGridAccessible::childCount() const { return int(qMin<qint64>(grid()->count(), INT_MAX)); }

QAccessibleInterface *CellGridAccessible::child(int index) const
{
    if (index < 0 || index >= childCount())
        return nullptr;
    auto made = made_.constFind(index);
    if (made == made_.cend())
        made = made_.insert(index, QAccessible::registerAccessibleInterface(new CellAccessible(grid(), index)));
    return QAccessible::accessibleInterface(*made);
}

int CellGridAccessible::indexOfChild(const QAccessibleInterface *child) const
{
    const auto *cell = dynamic_cast<const CellAccessible *>(child);
    return cell && cell->grid() == grid() ? cell->index() : -1;
}

QAccessibleInterface *CellGridAccessible::childAt(int x, int y) const
{
    return child(grid()->imageAt(grid()->mapFromGlobal(QPoint(x, y))));
}

QAccessibleInterface *CellGridAccessible::focusChild() const
{
    return grid()->hasFocus() ? child(int(grid()->current())) : nullptr;
}
