#pragma once

#include <QString>
#include <array>

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
class PreviewSlots
{
public:
    PreviewSlots() = default;
    PreviewSlots(std::array<PreviewSlot, 4> fourSlots, QLineEdit *pathBox);

    static constexpr int kCount = 4;
    const PreviewSlot &operator[](int k) const { return slots_.at(k - 1); }

    bool isFree(int k) const;
    int firstFree() const;  // 0 when all four are filled
    QString path(int k) const;

    // Loads the picture first: when that fails (RuntimeError), nothing changes.
    void fill(int k, const QString &path);
    void clear(int k);
    void clearAll();
    // A click on the slot: the path box shows its file, or empties for a free slot.
    void select(int k);

    int slotNo = 0;  // the slot last pressed with any button; 0 before the first press

private:
    std::array<PreviewSlot, 4> slots_{};
    QLineEdit *pathBox_ = nullptr;
};
