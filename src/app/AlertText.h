#pragma once
// What an alert says for an error: a headline, the reason and what to do in
// plain words, and the codes under its details, where support finds them and
// nobody else has to read them.

#include "app/Error.h"

#include <QCoreApplication>
#include <QString>

class CAlertText {
    Q_DECLARE_TR_FUNCTIONS(CAlertText)

public:
    QString headline;
    QString body;    // the reason, then what to do, each a whole sentence
    QString details; // the domain and code, and the detail the error carries

    static CAlertText of(const CError& error);
};
