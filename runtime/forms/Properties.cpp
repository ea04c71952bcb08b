#include "runtime/forms/Properties.h"

#include "runtime/services/Failure.h"

#include <QMetaProperty>
#include <QObject>

namespace rt {

QString readByName(const QObject *control, const QString &name)
{
    if (control) {
        const QMetaObject *meta = control->metaObject();
        for (int i = 0; i < meta->propertyCount(); ++i) {
            const QMetaProperty property = meta->property(i);
            if (QString::fromLatin1(property.name()).compare(name, Qt::CaseInsensitive) == 0)
                return property.read(control).toString();
        }
    }
    throw RuntimeError(Action::ReadProperty, QString(), {Reason::NoSuchProperty, name});
}

}  // namespace rt
