#pragma once

#include "runtime/services/Failure.h"

#include <QList>
#include <QString>
#include <array>
#include <functional>
#include <optional>

class QLabel;
class QLineEdit;

namespace rt {
class ImageBox;
class PictureBox;
}

// Slot k (1 to 4) of the main window: its image, its number badge and the
// hidden label holding the full path of the file it shows.
struct PreviewSlot
{
    rt::ImageBox *image;
    rt::PictureBox *badge;
    QLabel *label;
};

// The four preview slots with the path box Text1 and slotNo. A slot is free
// when its image holds the empty picture; its picture and path change only
// together, through fill and clear.
//
// A fill loads its picture in a job and lands when the picture is there. Every
// change takes its place in the order it was asked for: a result lands on a
// slot, and on the path box, only if nothing asked later has changed them
// already, so the end state is the one the requests would give one after the
// other, however the loads overtake each other.
class PreviewSlots
{
public:
    PreviewSlots() = default;
    PreviewSlots(std::array<PreviewSlot, 4> fourSlots, QLineEdit *pathBox);

    static constexpr int kCount = 4;
    const PreviewSlot &operator[](int k) const { return slots_.at(k - 1); }

    bool isFree(int k) const;
    // The first slot that is free and has no load under way that may fill it;
    // 0 when there is none.
    int firstFree() const;
    QString path(int k) const;

    // Told on the interface thread once the fill has landed or failed (a
    // failure changes nothing); not told when the main window has gone.
    using Landed = std::function<void(const std::optional<rt::RuntimeError> &failure)>;
    // Loads the picture, decoded no larger than the slot shows it, then sets
    // it with the path, and the path box.
    void fill(int k, const QString &path, Landed landed = {});
    // The place of a request in the order: clear(k, order) taken now, applied later.
    quint64 ticket() { return ++order_; }
    void clear(int k, quint64 order = 0);
    void clearAll();
    // A click on the slot: the path box shows its file, or empties for a free slot.
    void select(int k);

    int slotNo = 0;  // the slot last pressed with any button; 0 before the first press

private:
    bool loading(int k) const;
    void setPathBox(quint64 order, const QString &text);

    std::array<PreviewSlot, 4> slots_{};
    QLineEdit *pathBox_ = nullptr;
    quint64 order_ = 0;
    quint64 pathBoxOrder_ = 0;                 // the request the path box shows
    std::array<quint64, 4> shownOrder_{};      // the request each slot shows
    std::array<QList<quint64>, 4> loading_{};  // each slot's fills under way
};
