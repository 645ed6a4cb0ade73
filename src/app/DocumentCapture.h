#pragma once
// The window's side of MIRELO_CAPTURE: the same checks, in the same order, as
// `send --capture`. A capture path that would write over an update file, or
// that is no plain file, is refused without opening it (a FIFO would block);
// the files are opened, and so emptied, only once the update file has passed
// its check, and emptied again as each run starts.

#include "app/Error.h"

#include <QString>

#include <optional>

namespace mirelo::midi {
class CaptureDestination;
}

class CDocumentCapture {
public:
    // None: the window sends to the MIDI system's outputs.
    void set(mirelo::midi::CaptureDestination* capture) { m_capture = capture; }
    mirelo::midi::CaptureDestination* destination() const { return m_capture; }

    // Why the update file at path cannot be opened with this capture; atStart
    // for the file the window opens by itself.
    std::optional<CError> refusal(const QString& updateFile, bool atStart) const;
    // Opens the files the first time; later calls do nothing.
    std::optional<CError> openOnce();
    // Empties the files for the run about to start.
    std::optional<CError> restart();

private:
    mirelo::midi::CaptureDestination* m_capture = nullptr;
    bool m_open = false;
};
