#pragma once

#include "runtime/forms/Form.h"

class QProgressBar;
class QScrollArea;
class QTimer;

// The list frame: it comes up with the list window Form10, carries the
// caption, and scrolls the list window when that is taller than the frame.
// Closing it unloads the list window with it.
class MDIForm1 : public rt::Form
{
    Q_OBJECT
public:
    MDIForm1();

    QScrollArea *workspace = nullptr;  // holds the list window
    QProgressBar *progress = nullptr;  // thumbnails done of all, while they are decoded; hidden otherwise

    void showProgress(qint64 done, qint64 total);

signals:
    // Closing the frame, asked of the list window inside it (Form10), which
    // unloads both once its build allows; without one the frame unloads alone.
    void closeAsked();

protected:
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void placeProgress();
    void updateProgress();

    // A progress bar repaints at once on every new value: new values are
    // shown at most every 100 ms.
    QTimer *progressPacer_;
    qint64 progressDone_ = 0, progressTotal_ = 0;
};
