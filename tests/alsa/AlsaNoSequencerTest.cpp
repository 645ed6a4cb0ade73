// Without a sequencer device (no /dev/snd/seq: containers, CI) the backend
// says so once, in one line of its own, and every call fails cleanly.

#include "platform/midi/alsa/AlsaBackend.h"
#include "platform/midi/alsa/EndpointRef.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>

using namespace mirelo::midi;

namespace {

bool sequencerPresent()
{
    struct stat info {};
    return stat("/dev/snd/seq", &info) == 0;
}

TEST(AlsaNoSequencer, ClientCreateFailsWithOneLineOfOurs)
{
    if (sequencerPresent()) {
        GTEST_SKIP() << "this machine has /dev/snd/seq";
    }
    std::unique_ptr<MidiBackend> backend = makeAlsaBackend();
    MIDIClientRef client = 12345;
    testing::internal::CaptureStderr();
    const OSStatus first = backend->clientCreate("ZAV Editor", nullptr, nullptr, &client);
    const OSStatus second = backend->clientCreate("REVArodoz", nullptr, nullptr, &client);
    const std::string err = testing::internal::GetCapturedStderr();

    EXPECT_EQ(first, kMIDIServerStartErr);
    EXPECT_EQ(second, kMIDIServerStartErr);
    EXPECT_EQ(client, 12345u);
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
    EXPECT_NE(err.find("MIDI sequencer"), std::string::npos) << err;
    EXPECT_NE(err.find("No such file or directory"), std::string::npos) << err;
    EXPECT_EQ(err.find("ALSA lib"), std::string::npos) << err;
}

TEST(AlsaNoSequencer, EverythingElseFailsWithoutACrash)
{
    if (sequencerPresent()) {
        GTEST_SKIP() << "this machine has /dev/snd/seq";
    }
    std::unique_ptr<MidiBackend> backend = makeAlsaBackend();
    testing::internal::CaptureStderr();
    EXPECT_EQ(backend->numberOfDestinations(), 0u);
    EXPECT_EQ(backend->numberOfSources(), 0u);
    EXPECT_EQ(backend->destination(0), 0u);
    EXPECT_EQ(backend->source(0), 0u);

    const MIDIEndpointRef madeUp = alsa::EndpointRef{alsa::EndpointKind::destination, 20, 0, 0}.encode();
    std::string value = "unchanged";
    EXPECT_EQ(backend->stringProperty(madeUp, kMIDIPropertyDisplayName, &value), kMIDIObjectNotFound);
    EXPECT_EQ(value, "unchanged");

    MIDIPortRef port = 0;
    EXPECT_EQ(backend->outputPortCreate(0, "MIDI OUTPUT", &port), kMIDIInvalidClient);
    const PacketListStorage list(272);
    EXPECT_EQ(backend->send(0, madeUp, list.list()), kMIDIInvalidPort);
    EXPECT_EQ(backend->flushOutput(madeUp), noErr);
    EXPECT_EQ(backend->clientDispose(0), kMIDIInvalidClient);
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(err.find("ALSA lib"), std::string::npos) << err;
}

} // namespace
