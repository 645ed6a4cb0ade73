#include "app/OutputList.h"

#include "app/ErrorPresentingTarget.h"
#include "app/MyErrors.h"
#include "ui_REVArodozDoc.h"

#include "QORMIDIManager_Mac.h"
#include "platform/midi/MIDIServices.h"

namespace {

std::optional<QString> displayNameOf(MIDIEndpointRef endpoint)
{
    std::string name;
    if (MIDIObjectGetStringProperty(endpoint, kMIDIPropertyDisplayName, &name) != noErr) {
        return std::nullopt;
    }
    return QString::fromStdString(name);
}

} // namespace

void COutputList::scan()
{
    m_count = MIDIGetNumberOfDestinations();
    if (remembersNoDeviceMark()) {
        return;
    }
    if (m_count == 0) {
        remember(EKind::kNoDevice);
        return;
    }
    if (m_kind == EKind::kNone) {
        const MIDIEndpointRef endpoint = MIDIGetDestination(0);
        if (endpoint == 0) {
            remember(EKind::kNoDevice);
            return;
        }
        open(0, displayNameOf(endpoint));
        return;
    }
    for (std::uint64_t i = 0; i < m_count; ++i) {
        const MIDIEndpointRef endpoint = MIDIGetDestination(static_cast<ItemCount>(i));
        if (endpoint == 0) {
            continue;
        }
        const std::optional<QString> name = displayNameOf(endpoint);
        if (name && *name == m_deviceName) {
            open(i, name);
            return;
        }
    }
    remember(EKind::kNoDevice);
}

void COutputList::rebuild()
{
    if (m_form == nullptr) {
        return;
    }
    m_form->m_popOutput->clear();
    if (m_count == 0) {
        m_form->m_popOutput->addItem(tr(kNoDevice));
        m_form->m_popOutput->setEnabled(false);
        m_form->m_btnPlay->setEnabled(false);
        showHint();
        return;
    }
    for (std::uint64_t i = 0; i < m_count; ++i) {
        const MIDIEndpointRef endpoint = MIDIGetDestination(static_cast<ItemCount>(i));
        std::optional<QString> title = endpoint != 0 ? displayNameOf(endpoint) : std::nullopt;
        m_form->m_popOutput->addItem(title ? *title : tr("Endpoint-%1").arg(i));
    }
    if (m_kind == EKind::kNamed) {
        m_form->m_popOutput->setCurrentIndex(m_form->m_popOutput->findText(m_deviceName));
    } else {
        m_form->m_popOutput->setCurrentIndex(0);
        pickSelected();
    }
    // A failed open presents an alert; the window may be gone after it.
    if (m_form != nullptr) {
        m_form->m_popOutput->setEnabled(true);
        m_form->m_btnPlay->setEnabled(true);
    }
    showHint();
}

void COutputList::pickSelected()
{
    const std::int64_t k = m_form != nullptr ? m_form->m_popOutput->currentIndex() : 0;
    open(static_cast<std::uint64_t>(k), std::nullopt);
    showHint();
}

void COutputList::open(std::uint64_t k, const std::optional<QString>& scannedName)
{
    remember(EKind::kNone);
    OSStatus status = kIOReturnNoDevice;
    if (k < m_count) {
        CQORMIDIManager* manager = CQORMIDIManager::instance();
        status = manager != nullptr ? manager->openMidiOut(static_cast<unsigned long>(k)) : kMIDIInvalidClient;
        if (const std::optional<QString> name = scannedName ? scannedName : titleAt(k)) {
            remember(EKind::kNamed, *name);
        }
        if (status == noErr) {
            return;
        }
    }
    remember(EKind::kNoDevice);
    if (k < m_count && m_form != nullptr) {
        // One past the last entry: the list then shows no selection.
        m_form->m_popOutput->setCurrentIndex(static_cast<int>(m_count));
    }
    const QString name = titleAt(k).value_or(tr(kNoDevice));
    m_target.presentError(MyErrors::errorWithCode(status).titled(tr("\u201C%1\u201D could not be opened.").arg(name)));
}

void COutputList::remember(EKind kind, QString name)
{
    m_kind = kind;
    m_deviceName = std::move(name);
}

void COutputList::forget()
{
    if (m_kind == EKind::kNamed) {
        remember(EKind::kNone);
    }
    m_count = 0;
}

std::optional<QString> COutputList::rememberedDeviceName() const
{
    if (m_kind != EKind::kNamed) {
        return std::nullopt;
    }
    return m_deviceName;
}

std::optional<QString> COutputList::titleAt(std::uint64_t k) const
{
    if (m_form == nullptr || k >= static_cast<std::uint64_t>(m_form->m_popOutput->count())) {
        return std::nullopt;
    }
    return m_form->m_popOutput->itemText(static_cast<int>(k));
}

bool COutputList::selectedIsHardware() const
{
    const std::int64_t k = m_form != nullptr ? m_form->m_popOutput->currentIndex() : 0;
    if (k < 0 || static_cast<std::uint64_t>(k) >= m_count) {
        return false;
    }
    std::int32_t hardware = 0;
    return MIDIObjectGetIntegerProperty(MIDIGetDestination(static_cast<ItemCount>(k)), kMIDIPropertyHardware,
                                        &hardware) == noErr &&
           hardware != 0;
}

std::optional<std::uint64_t> COutputList::selectedPosition() const
{
    const std::int64_t k = m_form != nullptr ? m_form->m_popOutput->currentIndex() : -1;
    if (k < 0 || static_cast<std::uint64_t>(k) >= m_count || !rememberedDeviceName()) {
        return std::nullopt;
    }
    return static_cast<std::uint64_t>(k);
}

void COutputList::preferDevice(const QString& name)
{
    if (m_kind == EKind::kNone) {
        remember(EKind::kNamed, name);
    }
}

void COutputList::showHint()
{
    if (m_form == nullptr) {
        return;
    }
    bool anyHardware = false;
    for (std::uint64_t i = 0; i < m_count && !anyHardware; ++i) {
        std::int32_t hardware = 0;
        anyHardware = MIDIObjectGetIntegerProperty(MIDIGetDestination(static_cast<ItemCount>(i)), kMIDIPropertyHardware,
                                                   &hardware) == noErr &&
                      hardware != 0;
    }
    m_form->m_txtOutputHint->setText(anyHardware ? tr(kSoftwarePortHint) : tr(kNoInstrumentHint));
    m_form->m_txtOutputHint->setVisible(!m_capture && !selectedIsHardware());
}
