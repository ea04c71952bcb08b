#include "thumbs/PictureBudget.h"

void PictureBudget::hold(qint64 k, qint64 bytes)
{
    qint64 &held = held_[k];
    bytes_ += bytes - held;
    held = bytes;
}

std::vector<qint64> PictureBudget::overflow(CellSpan view)
{
    std::vector<qint64> dropped;
    while (bytes_ > budget_ && !held_.empty()) {
        // The farthest cell is the first or the last one held.
        const auto first = held_.begin(), last = std::prev(held_.end());
        const qint64 before = view.first - first->first, after = last->first - view.last;
        if (before <= 0 && after <= 0)
            break;  // all in view
        const auto farthest = before >= after ? first : last;
        dropped.push_back(farthest->first);
        bytes_ -= farthest->second;
        held_.erase(farthest);
    }
    return dropped;
}
