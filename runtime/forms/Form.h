#pragma once

#include <QIcon>
#include <QPointer>
#include <QWidget>

class QMenuBar;

namespace rt {

// A window of the program. Each window class has at most one live instance,
// created hidden on the first reference (Form::instance), which builds its
// controls and runs its Form_Load. Unloading hides and destroys it; the next
// reference creates a fresh one, so no control value survives an unload.
class Form : public QWidget
{
    Q_OBJECT
public:
    template <class F>
    static F &instance()
    {
        QPointer<F> &live = slot<F>();
        if (!live || live->isUnloaded()) {
            live = new F;
            live->Form_Load();
        }
        return *live;
    }

    // The live instance, or null; never creates one.
    template <class F>
    static F *ifLoaded()
    {
        QPointer<F> &live = slot<F>();
        return (live && !live->isUnloaded()) ? live.data() : nullptr;
    }

    void showModeless();  // returns at once; a shown window comes to the front
    void showModal();     // returns once this window is hidden or unloaded
    // Hides and discards the window. Safe from inside its own handlers: the
    // object is deleted once control is back in the event loop.
    void unload();
    bool isUnloaded() const { return unloaded_; }

    // The area the controls are placed in, below the menu bar if there is one.
    QWidget *client() const { return client_; }

    // Places the client area on the screen, in twips.
    void placeClientAt(int leftTwips, int topTwips);
    void setClientSize(int widthTwips, int heightTwips);
    void setBackColor(const QColor &color);
    QMenuBar *menuBar();
    // The controls in tab order; the first that can take the focus gets it
    // whenever the window is shown.
    void setTabOrder(const QList<QWidget *> &controls);

signals:
    void hidden();
    void DblClick();  // a double click on the window's background

protected:
    explicit Form(QWidget *parent = nullptr, Qt::WindowFlags flags = Qt::Window);
    virtual void Form_Load() {}

    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    // The close box unloads the window, as "Cancel" does in the dialogs.
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    template <class F>
    static QPointer<F> &slot()
    {
        static QPointer<F> live;
        return live;
    }

    QWidget *client_ = nullptr;
    QMenuBar *menuBar_ = nullptr;
    QList<QPointer<QWidget>> tabOrder_;
    bool unloaded_ = false;
    bool shownOnce_ = false;
};

// Window flags shared by the small confirmation and About windows: a fixed
// tool window with a close box only and no task-bar entry.
Qt::WindowFlags toolWindowFlags();

// The program's icon, for the main window, the large view and the list's windows.
QIcon programIcon();

}  // namespace rt
