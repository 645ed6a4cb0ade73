#pragma once
// The run's words as the window shows them: each template translated in the
// scope it is marked in, counts written as the session writes numbers, names
// in the quotation marks of the window's language; a sentence begins with a
// capital and ends with a full stop, as the window's status line and alerts
// write them.

#include "update/Sentence.h"

#include <QString>

class CSentenceText {
public:
    CSentenceText() = delete;

    static QString textOf(const CSentence& sentence);
    static QString sentenceOf(const CSentence& sentence);
};
