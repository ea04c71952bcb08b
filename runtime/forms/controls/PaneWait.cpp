#include "runtime/forms/controls/PaneWait.h"

#include "runtime/forms/PlainText.h"

#include <QAbstractScrollArea>
#include <QLabel>

namespace rt {

PaneWait::PaneWait(QAbstractScrollArea *pane)
    : QObject(pane), pane_(pane), hint_(setPlainText(new QLabel(pane), kSilentText))
{
    hint_->setStyleSheet(QStringLiteral("QLabel { color: #6e6e6e; background: #f0f0f0; padding: 1px 3px; }"));
    hint_->hide();
    busy_.setSingleShot(true);
    silent_.setSingleShot(true);
    connect(&busy_, &QTimer::timeout, this, &PaneWait::showBusy);
    connect(&silent_, &QTimer::timeout, this, &PaneWait::showSilent);
}

void PaneWait::begin()
{
    end();
    waiting_ = true;
    busy_.start(kBusyMs);
    silent_.start(kSilentMs);
}

void PaneWait::answered()
{
    if (!waiting_)
        return;
    silent_.start(kSilentMs);
    if (hint_->isVisible()) {
        hint_->hide();
        pane_->setAccessibleDescription(kBusyText);
    }
}

void PaneWait::end()
{
    waiting_ = false;
    busy_.stop();
    silent_.stop();
    hint_->hide();
    pane_->viewport()->unsetCursor();
    pane_->setAccessibleDescription(QString());
}

void PaneWait::showBusy()
{
    pane_->viewport()->setCursor(Qt::BusyCursor);
    pane_->setAccessibleDescription(kBusyText);
}

void PaneWait::showSilent()
{
    // Along the pane's foot, over whatever it shows so far.
    const QRect area = pane_->viewport()->geometry();
    hint_->adjustSize();
    hint_->setGeometry(area.left(), area.bottom() + 1 - hint_->height(), area.width(), hint_->height());
    hint_->show();
    hint_->raise();
    pane_->setAccessibleDescription(kSilentText);
}

}  // namespace rt
