#pragma once
// The window's and the application's icon: the installed one by its theme
// name, else the files beside the program (a build that was never installed).
// The bitmaps stand in wherever Qt has no plugin to draw the SVG.

#include <QIcon>

class CApplicationIcon {
public:
    static constexpr const char* kName = "mirelo-updater"; // notr: icon file name
    // The sizes of the bitmaps installed and placed beside the program.
    static constexpr int kBitmapSizes[] = {16, 32, 48, 64, 128, 256};

    CApplicationIcon() = delete;
    static QIcon load();
};
