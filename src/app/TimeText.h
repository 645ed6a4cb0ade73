#pragma once
// A span of time as the window writes it: hours, minutes, seconds and
// milliseconds ("00:01:02.345").

#include <QString>

class CTimeText {
public:
    CTimeText() = delete;
    // Negative or not-a-number spans show as zero; huge ones stop at the
    // largest the hour count can hold.
    static QString withMilliseconds(double seconds);
};
