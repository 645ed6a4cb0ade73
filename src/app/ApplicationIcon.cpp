#include "app/ApplicationIcon.h"

#include <QCoreApplication>
#include <QString>

QIcon CApplicationIcon::load()
{
    QIcon local;
    const QString dir = QCoreApplication::applicationDirPath();
    local.addFile(dir + QStringLiteral("/%1.svg").arg(QLatin1String(kName)));
    for (const int size : kBitmapSizes) {
        local.addFile(dir + QStringLiteral("/icons/%1-%2.png").arg(QLatin1String(kName)).arg(size), QSize(size, size));
    }
    return QIcon::fromTheme(QLatin1String(kName), local);
}
