#include "app/PreviewSlots.h"

#include "runtime/decoding/Decode.h"
#include "runtime/forms/controls/ImageBox.h"

#include <QLabel>
#include <QLineEdit>

PreviewSlots::PreviewSlots(std::array<PreviewSlot, 4> fourSlots, QLineEdit *pathBox)
    : slots_(fourSlots), pathBox_(pathBox)
{
}

bool PreviewSlots::isFree(int k) const
{
    return (*this)[k].image->picture().handle() == rt::Picture().handle();
}

int PreviewSlots::firstFree() const
{
    for (int k = 1; k <= kCount; ++k) {
        if (isFree(k))
            return k;
    }
    return 0;
}

QString PreviewSlots::path(int k) const
{
    return (*this)[k].label->text();
}

void PreviewSlots::fill(int k, const QString &path)
{
    const PreviewSlot &slot = (*this)[k];
    // A slot shows a 105-pixel square: decode no larger than that.
    slot.image->setPicture(rt::loadPicture(path, slot.image->shownSize()));
    slot.label->setText(path);
    slot.image->setAccessibleDescription(path);
    pathBox_->setText(slot.label->text());
}

void PreviewSlots::clear(int k)
{
    const PreviewSlot &slot = (*this)[k];
    slot.image->setPicture(rt::Picture());
    slot.label->setText(QString());
    slot.image->setAccessibleDescription(QString());
    pathBox_->setText(QString());
}

void PreviewSlots::clearAll()
{
    for (const PreviewSlot &slot : slots_)
        slot.image->setPicture(rt::Picture());
    for (const PreviewSlot &slot : slots_) {
        slot.label->setText(QString());
        slot.image->setAccessibleDescription(QString());
    }
    pathBox_->setText(QString());
}

void PreviewSlots::select(int k)
{
    pathBox_->setText(path(k));
}
