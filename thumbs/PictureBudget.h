#pragma once

#include "thumbnailing/ThumbnailQueue.h"

#include <map>
#include <vector>

// The cells of the list that hold a thumbnail, and the bytes they take: the
// list keeps the pictures of the cells in view and of those nearest to it, up
// to a byte budget, so that its memory follows the screen, not the folder.
class PictureBudget
{
public:
    explicit PictureBudget(qint64 budget) : budget_(budget) {}

    // Cell k holds a picture of `bytes` now.
    void hold(qint64 k, qint64 bytes);
    // The cells that must give their pictures up for the rest to fit,
    // farthest from `view` first; a cell in view is never one of them. They
    // are no longer counted.
    std::vector<qint64> overflow(CellSpan view);

    qint64 bytes() const { return bytes_; }
    qint64 count() const { return qint64(held_.size()); }

private:
    const qint64 budget_;
    qint64 bytes_ = 0;
    std::map<qint64, qint64> held_;  // cell, bytes
};
