#pragma once

#include "runtime/services/FileJobs.h"
#include <QListView>

#include <functional>

namespace rt {

class NameListModel;
class PaneWait;
namespace listing {
struct Step;
}

// The folder list: the current folder's ancestors from the root down, the
// current folder opened, and its subfolders below it. Opening an entry (double
// click or Enter) makes it the current folder.
//
// A new folder is asked off the interface thread whether it can be entered;
// only once it answers yes does the list move there (Change), its subfolders
// following as they are read. Until then, and for good when it answers no, the
// list stays on the folder it showed. A newer move replaces one still waiting.
// The subfolders are kept as names in one block, however many there are.
class DirListBox : public QListView
{
    Q_OBJECT
    Q_PROPERTY(QString Path READ path WRITE setPath)
public:
    explicit DirListBox(QWidget *parent = nullptr);

    QString path() const { return path_; }  // native separators
    // Moves there once the folder is found to be one that can be entered;
    // nothing changes, without a word, when it cannot.
    void setPath(const QString &path);
    bool isListing() const;

signals:
    void Change();

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    QString folderAt(int row) const;
    void openRow(int row);
    // Lists `folder`; with `refused`, first asks whether it can be entered
    // and moves there when it can, calling `refused` when it cannot.
    void request(const QString &folder, std::function<void()> refused);
    void take(const QString &folder, const listing::Step &step, const std::function<void()> &refused);
    void showChain();

    QString path_;
    QStringList chain_;      // the folders from the root down to path_, '/'-separated
    bool complete_ = false;  // every subfolder of path_ is in
    Latest latest_;
    NameListModel *rows_;
    PaneWait *wait_;
};

}  // namespace rt
