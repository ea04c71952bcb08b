#include "app/PreviewSlots.h"

#include "runtime/decoding/PictureJobs.h"
#include "runtime/forms/controls/ImageBox.h"

#include <QLabel>
#include <QLineEdit>

PreviewSlots::PreviewSlots(std::array<PreviewSlot, 4> fourSlots, QLineEdit *pathBox)
    : slots_(fourSlots), pathBox_(pathBox)
{}

bool PreviewSlots::isFree(int k) const { return (*this)[k].image->picture().handle() == rt::Picture().handle(); }

// A load asked after the slot's last change may still fill it.
bool PreviewSlots::loading(int k) const
{
    for (const quint64 order : loading_.at(k - 1)) {
        if (order > shownOrder_.at(k - 1))
            return true;
    }
    return false;
}

int PreviewSlots::firstFree() const
{
    for (int k = 1; k <= kCount; ++k) {
        if (isFree(k) && !loading(k))
            return k;
    }
    return 0;
}

QString PreviewSlots::path(int k) const { return (*this)[k].label->text(); }

void PreviewSlots::fill(int k, const QString &path, Landed landed)
{
    const PreviewSlot &slot = (*this)[k];
    const quint64 order = ticket();
    loading_.at(k - 1).append(order);
    // A slot shows a 105-pixel square: decode no larger than that. The slot's
    // image is the receiver: the main window's end drops what is under way.
    rt::loadPictureLater(path, slot.image->shownSize(), slot.image,
                         [this, k, order, path, landed = std::move(landed)](rt::LoadedPicture loaded) {
                             loading_.at(k - 1).removeOne(order);
                             if (!loaded.failure && order > shownOrder_.at(k - 1)) {
                                 const PreviewSlot &slot = (*this)[k];
                                 shownOrder_.at(k - 1) = order;
                                 slot.image->setPicture(std::move(loaded.picture));
                                 slot.label->setText(path);  // Qt::PlainText since it was made (pathLabel)
                                 slot.image->setAccessibleDescription(path);
                                 setPathBox(order, slot.label->text());
                             }
                             if (landed)
                                 landed(loaded.failure);
                         });
}

void PreviewSlots::clear(int k, quint64 order)
{
    if (!order)
        order = ticket();
    if (order < shownOrder_.at(k - 1))
        return;
    const PreviewSlot &slot = (*this)[k];
    shownOrder_.at(k - 1) = order;
    slot.image->setPicture(rt::Picture());
    slot.label->setText(QString());
    slot.image->setAccessibleDescription(QString());
    setPathBox(order, QString());
}

void PreviewSlots::clearAll()
{
    const quint64 order = ticket();
    for (const PreviewSlot &slot : slots_)
        slot.image->setPicture(rt::Picture());
    for (const PreviewSlot &slot : slots_) {
        slot.label->setText(QString());
        slot.image->setAccessibleDescription(QString());
    }
    shownOrder_.fill(order);
    setPathBox(order, QString());
}

void PreviewSlots::select(int k) { setPathBox(ticket(), path(k)); }

void PreviewSlots::setPathBox(quint64 order, const QString &text)
{
    if (order < pathBoxOrder_)
        return;
    pathBoxOrder_ = order;
    pathBox_->setText(text);
}
