#pragma once
// The language the window speaks. Its own words come from the translations
// built into the program (":/i18n/mirelo-updater_de.qm") for the first of the
// session's languages, as Qt reads them from LANGUAGE, LC_ALL, LC_MESSAGES and
// LANG, that has one; with them Qt's own translation of its standard buttons
// and the error tables of that language. English, the language the window is
// written in, ends the search: a session that puts English before German gets
// English, as does one whose languages have no translation. Numbers are
// written as the session writes them, whatever the language.
//
// In force for as long as the object lives: the window's application holds
// one from its start to its end.

#include <QLocale>
#include <QString>
#include <QStringList>
#include <QTranslator>

class CTranslations {
public:
    explicit CTranslations(const QLocale& session = QLocale::system());
    ~CTranslations();
    CTranslations(const CTranslations&) = delete;
    CTranslations& operator=(const CTranslations&) = delete;

    // The translation in force ("de"); empty when the window speaks English.
    const QString& language() const { return m_language; }

    // The names a translation may have for a locale's UI languages ("de-CH",
    // "de-Latn-CH"), most preferred first, each followed by its shorter forms
    // not named yet: de_CH, de, de_Latn_CH, de_Latn.
    static QStringList candidates(const QStringList& uiLanguages);

private:
    QTranslator m_window;
    QTranslator m_qt;
    QLocale m_previousDefault;
    QString m_language;
};
