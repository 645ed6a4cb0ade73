#pragma once
// The exit statuses of mirelo-updater-cli, the same for every subcommand.

namespace cli_exit {

constexpr int kSuccess = 0;
// The job started and did not finish: a send failed part-way, an output file
// could not be written.
constexpr int kFailed = 1;
// Wrong usage, or an input file that is refused (unreadable, malformed).
constexpr int kBadInput = 2;
// No MIDI system (the backend cannot start), or no destination to send to.
constexpr int kNoMidi = 3;
// The instrument did not answer when asked who it is, or has no input to
// answer on: many never do, so this is not a failure of the tool.
constexpr int kNoAnswer = 4;
// Every message of an update went out, and the instrument, asked after it,
// still reports another version than the one the update carries.
constexpr int kDidNotTake = 5;
// A run that a signal ended, as a shell reports a process the signal killed.
constexpr int interruptedBy(int signal)
{
    return 128 + signal;
}

} // namespace cli_exit
