#pragma once

#include <QStringList>

#include <memory>

class QCollator;

namespace rt {

// Sorts names the way file managers show them: without regard to case, and
// digit runs by their value ("img2" before "img10"); names that differ only
// in case keep one order every time (by their characters).
void sortNaturally(QStringList &names);

// The same order, one pair at a time: where a name goes in a sorted list.
class NaturalOrder
{
public:
    NaturalOrder();
    bool operator()(const QString &a, const QString &b) const;

private:
    std::shared_ptr<const QCollator> collator_;  // copies share it
};

}  // namespace rt
