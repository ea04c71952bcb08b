#pragma once

#include <QObject>
#include <vector>

// Watches the thumbnail list's cells being painted, from the whole application
// (the list window does not exist yet when the watch begins): when the first
// cell with its picture was painted, and when every cell of the first screen
// (the cells in view at the first paint) was painted with its picture or has
// turned out to have none. Times in ms since `startNs`; -1 until then. The
// time is taken as the paint begins, microseconds before it ends.
class CellPaintWatch : public QObject
{
public:
    explicit CellPaintWatch(qint64 startNs);
    ~CellPaintWatch() override;

    double firstCellMs = -1;
    double firstScreenMs = -1;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    qint64 startNs_;
    bool screenKnown_ = false;
    std::vector<qint64> waiting_;  // cells of the first screen not yet painted with their picture
};
