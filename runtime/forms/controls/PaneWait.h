#pragma once

#include <QObject>
#include <QTimer>

class QAbstractScrollArea;
class QLabel;

namespace rt {

// What a pane shows while its folder is being read: nothing for a moment,
// then a busy pointer over it, and once the folder has not answered for a few
// seconds a grey line saying so. Never a modal box: the user can choose
// something else meanwhile. The pane's accessible description tells the same
// (kBusyText, kSilentText, empty when idle).
class PaneWait : public QObject
{
    Q_OBJECT
public:
    static constexpr int kBusyMs = 300;
    static constexpr int kSilentMs = 3000;
    static inline const QString kBusyText = QStringLiteral("読み込み中");
    static inline const QString kSilentText = QStringLiteral("応答がありません");

    explicit PaneWait(QAbstractScrollArea *pane);

    void begin();     // a listing started
    void answered();  // it brought something: the wait for the next answer starts again
    void end();       // it is over, or no longer wanted
    bool isWaiting() const { return waiting_; }

private:
    void showBusy();
    void showSilent();

    QAbstractScrollArea *pane_;
    QLabel *hint_;
    QTimer busy_;
    QTimer silent_;
    bool waiting_ = false;
};

}  // namespace rt
