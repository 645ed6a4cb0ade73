#pragma once
// The run's words as the window shows them: each template translated in the
// scope it is marked in, counts written as the session writes numbers, names
// in the quotation marks of the window's language; a sentence begins with a
// capital and ends with a full stop, as the window's status line and alerts
// write them.

#include "update/Sentence.h"

#include <QLocale>
#include <QString>

#include <cstdint>

class CSentenceText {
public:
    CSentenceText() = delete;

    static QString textOf(const CSentence& sentence);
    static QString sentenceOf(const CSentence& sentence);
    // "14.9 s", "4:05", as the run's sentences write a span of time.
    static QString durationOf(std::uint64_t ms);
    // The locale the window writes numbers and dates in.
    static QLocale locale();
};
