#pragma once
// What an alert says for an error: its description; else, for the file
// errors the document reports, a text of ours; else the domain and code.

#include "app/Error.h"

#include <QString>

class CAlertText {
public:
    CAlertText() = delete;

    static QString of(const CError& error);
};
