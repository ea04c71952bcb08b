#include "runtime/forms/Form.h"

#include "runtime/forms/Twips.h"
#include "runtime/pictures/Picture.h"

#include <QCloseEvent>
#include <QEventLoop>
#include <QMenuBar>
#include <QMouseEvent>
#include <QVBoxLayout>

namespace rt {

Qt::WindowFlags toolWindowFlags()
{
    return Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint;
}

QIcon programIcon()
{
    static const QPixmap icon = QPixmap::fromImage(builtInImage(QStringLiteral(":/art/pixmoor.png")));
    return QIcon(icon);
}

Form::Form(QWidget *parent, Qt::WindowFlags flags) : QWidget(parent, flags)
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    client_ = new QWidget(this);
    client_->setObjectName(QStringLiteral("client"));
    client_->setAutoFillBackground(true);
    client_->installEventFilter(this);
    layout->addWidget(client_);
}

bool Form::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == client_ && event->type() == QEvent::MouseButtonDblClick
        && static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton) {
        emit DblClick();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

QMenuBar *Form::menuBar()
{
    if (!menuBar_) {
        menuBar_ = new QMenuBar(this);
        menuBar_->setNativeMenuBar(false);
        static_cast<QVBoxLayout *>(layout())->setMenuBar(menuBar_);
    }
    return menuBar_;
}

void Form::setClientSize(int widthTwips, int heightTwips)
{
    client_->setMinimumSize(px(widthTwips), px(heightTwips));
    resize(px(widthTwips), px(heightTwips) + (menuBar_ ? menuBar_->sizeHint().height() : 0));
}

void Form::placeClientAt(int leftTwips, int topTwips)
{
    // setGeometry() places the inside of the window, not its frame; the menu
    // bar sits above the client area.
    const int menuHeight = menuBar_ ? menuBar_->sizeHint().height() : 0;
    setGeometry(QRect(QPoint(px(leftTwips), px(topTwips) - menuHeight), size()));
}

void Form::setBackColor(const QColor &color)
{
    QPalette palette = client_->palette();
    palette.setColor(QPalette::Window, color);
    client_->setPalette(palette);
}

void Form::setTabOrder(const QList<QWidget *> &controls)
{
    tabOrder_.clear();
    for (qsizetype i = 0; i < controls.size(); ++i) {
        tabOrder_.append(controls[i]);
        if (i > 0)
            QWidget::setTabOrder(controls[i - 1], controls[i]);
    }
}

void Form::showModeless()
{
    show();
    raise();
    activateWindow();
}

void Form::showModal()
{
    setWindowModality(Qt::ApplicationModal);
    QEventLoop loop;
    QPointer<Form> self(this);
    connect(this, &Form::hidden, &loop, &QEventLoop::quit);
    connect(this, &QObject::destroyed, &loop, &QEventLoop::quit);
    showModeless();
    if (isVisible())
        loop.exec(QEventLoop::DialogExec);
    if (self && !self->unloaded_)
        self->setWindowModality(Qt::NonModal);
}

void Form::unload()
{
    if (unloaded_)
        return;
    unloaded_ = true;
    hide();
    deleteLater();
}

void Form::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (!shownOnce_) {
        shownOnce_ = true;
        for (const auto &control : std::as_const(tabOrder_)) {
            if (control && control->isVisibleTo(this) && control->isEnabled()
                && control->focusPolicy() & Qt::TabFocus) {
                control->setFocus(Qt::TabFocusReason);
                break;
            }
        }
    }
}

void Form::hideEvent(QHideEvent *event)
{
    QWidget::hideEvent(event);
    if (!event->spontaneous())
        emit hidden();
}

void Form::closeEvent(QCloseEvent *event)
{
    event->ignore();
    unload();
}

}  // namespace rt
