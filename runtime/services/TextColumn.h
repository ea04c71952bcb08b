#pragma once

#include <QString>
#include <QStringView>

#include <QList>

namespace rt {

// Many short texts, by index, in one block: each costs its characters and
// eight bytes rather than a string of its own. A text replaced leaves its old
// characters unused until they are half the block, which is then compacted.
class TextColumn
{
public:
    qsizetype size() const { return spans_.size(); }
    void append(QStringView text);
    QString at(qsizetype k) const;
    QStringView view(qsizetype k) const;  // valid until the column changes
    bool isEmpty(qsizetype k) const { return spans_.at(k).length == 0; }
    bool equals(qsizetype k, QStringView text) const { return view(k) == text; }
    void set(qsizetype k, QStringView text);
    void clear();  // gives the block's memory back

private:
    struct Span
    {
        quint32 start;
        quint32 length;
    };
    void compact();

    QString text_;
    QList<Span> spans_;  // copies of the column share it, as they share the block
    qsizetype unused_ = 0;
};

}  // namespace rt
