#include "app/Translations.h"

#include "platform/base/Bundle.h"

#include <QCoreApplication>
#include <QFile>
#include <QLibraryInfo>

#include <cstdio>
#include <string>
#include <vector>

namespace {

// Where the build puts the window's translations among the program's resources.
QString catalogueFor(const QString& language)
{
    return QStringLiteral(":/i18n/mirelo-updater_%1.qm").arg(language); // notr: resource path
}

QString primaryLanguage(const QString& candidate)
{
    return candidate.section(QLatin1Char('_'), 0, 0);
}

// The window is written in English; "C" and "POSIX" say so too.
bool isEnglish(const QString& candidate)
{
    const QString primary = primaryLanguage(candidate);
    return primary == QLatin1String("en") || primary == QLatin1String("C") // notr: language codes
           || primary == QLatin1String("POSIX");                           // notr: language code
}

} // namespace

QStringList CTranslations::candidates(const QStringList& uiLanguages)
{
    QStringList names;
    for (const QString& uiLanguage : uiLanguages) {
        QStringList parts = uiLanguage.split(QLatin1Char('-'), Qt::SkipEmptyParts);
        for (; !parts.isEmpty(); parts.removeLast()) {
            const QString name = parts.join(QLatin1Char('_'));
            if (!names.contains(name)) {
                names.append(name);
            }
        }
    }
    return names;
}

CTranslations::CTranslations(const QLocale& session)
{
    const QStringList names = candidates(session.uiLanguages());
    for (const QString& name : names) {
        const QString catalogue = catalogueFor(name);
        if (QFile::exists(catalogue) && m_window.load(catalogue)) {
            m_language = name;
            break;
        }
        if (isEnglish(name)) {
            break;
        }
    }

    if (!m_language.isEmpty()) {
        QCoreApplication::installTranslator(&m_window);
        // The same language's names, most particular first ("de_AT" before
        // "de"), for Qt's translation and the error tables.
        std::vector<std::string> tables;
        QString mostParticular;
        for (const QString& name : names) {
            if (primaryLanguage(name) == primaryLanguage(m_language)) {
                tables.push_back(name.toStdString());
                if (mostParticular.isEmpty()) {
                    mostParticular = name;
                }
            }
        }
        mirelo::platform::setPreferredLanguages(tables);
        const QString qtFolder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
        if (m_qt.load(QStringLiteral("qtbase_") + mostParticular, qtFolder)) { // notr: file name
            QCoreApplication::installTranslator(&m_qt);
        } else {
            std::fprintf(stderr,
                         "mirelo-updater: Qt's own translation for %s is not in %s; its standard buttons stay "
                         "in English\n",
                         qPrintable(m_language), qPrintable(qtFolder));
        }
    }

    m_previousDefault = QLocale();
    QLocale::setDefault(session);
}

CTranslations::~CTranslations()
{
    QLocale::setDefault(m_previousDefault);
    if (!m_language.isEmpty()) {
        mirelo::platform::setPreferredLanguages({});
        QCoreApplication::removeTranslator(&m_qt);
        QCoreApplication::removeTranslator(&m_window);
    }
}
