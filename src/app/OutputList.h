#pragma once
// The document's output list: the MIDI destinations at the last scan, the
// device the user chose, remembered by its display name so that it is found
// again when devices come and go, and the list control that shows them. The
// output itself belongs to the MIDI manager; this opens it there.
//
// GUI thread only.

#include <QCoreApplication>
#include <QString>

#include <cstdint>
#include <optional>

class CErrorPresentingTarget;
namespace Ui {
class REVArodozDoc;
}

class COutputList {
    Q_DECLARE_TR_FUNCTIONS(COutputList)

public:
    static constexpr const char* kNoDevice = QT_TR_NOOP("No Device");
    // Beside the list while no hardware port is selected: a loop-back port
    // such as Midi Through would take the update and report success while the
    // instrument receives nothing.
    static constexpr const char* kNoInstrumentHint =
        QT_TR_NOOP("No instrument connected: connect it by USB and switch it on; it appears here.");
    static constexpr const char* kSoftwarePortHint =
        QT_TR_NOOP("This output is a software port, not the instrument: choose the instrument above.");

    // Failures to open are presented to target.
    explicit COutputList(CErrorPresentingTarget& target) : m_target(target) {}

    // The window's controls; null while the window is not loaded.
    void setForm(Ui::REVArodozDoc* form) { m_form = form; }
    // The capture destination stands in for the instrument: no hint.
    void setCaptureIsTheDestination(bool capture) { m_capture = capture; }
    // Before the first scan: the device to open when it is there, else the
    // first destination, as always.
    void preferDevice(const QString& name);

    // Counts the destinations and opens the remembered device again where it
    // now stands: the first destination when none is remembered, none when
    // the remembered one is gone.
    void scan();
    // Fills the list from the last scan, selects the remembered device (or
    // the first entry, opened), and enables the list and Play when there is
    // a destination.
    void rebuild();
    // Opens the entry the user selected.
    void pickSelected();

    std::uint64_t count() const { return m_count; }
    // What teardown leaves: no count, no device name; the no-device mark stays.
    void forget();
    bool remembersNoDeviceMark() const { return m_kind == EKind::kNoDevice; }
    std::optional<QString> rememberedDeviceName() const;
    // The selected entry is a hardware port (an instrument on a cable).
    bool selectedIsHardware() const;
    // The position of the selected entry among the destinations of the last
    // scan; none when nothing, or the "No Device" entry, is selected.
    std::optional<std::uint64_t> selectedPosition() const;
    bool captureIsTheDestination() const { return m_capture; }

private:
    // The remembered output: none yet, the "No Device" entry (chosen or
    // fallen back to), or a device by its name.
    enum class EKind { kNone, kNoDevice, kNamed };

    // The open step: position k, with the name the scan read for it.
    void open(std::uint64_t k, const std::optional<QString>& scannedName);
    void remember(EKind kind, QString name = {});
    std::optional<QString> titleAt(std::uint64_t k) const;
    void showHint();

    CErrorPresentingTarget& m_target;
    Ui::REVArodozDoc* m_form = nullptr;
    std::uint64_t m_count = 0;
    EKind m_kind = EKind::kNone;
    QString m_deviceName; // with kNamed only
    bool m_capture = false;
};
