#include "cli/PackCommand.h"

#include "cli/ExitStatus.h"
#include "cli/FileReplacer.h"
#include "cli/SyxReader.h"

#include <cstdint>

CLI::App* CPackCommand::attach(CLI::App& inApp)
{
    CLI::App* cmd = inApp.add_subcommand(
        "pack", "Make an update file from SysEx messages (.syx): every F0...F7 message of the inputs, in order, "
                "sent --first-delay ms after the start and then one every --interval ms.");
    cmd->add_option("--out", m_outPath,
                    "The update file to write (a format-1 Standard MIDI File), or - for standard output. An "
                    "existing file is replaced whole, keeping its mode; a link is followed")
        ->required()
        ->option_text("FILE");
    cmd->add_option("--interval", m_options.intervalMs, "Milliseconds between two messages (default 60)")
        ->option_text("MS");
    cmd->add_option("--first-delay", m_options.firstDelayMs, "Milliseconds before the first message (default 0)")
        ->option_text("MS");
    cmd->add_option("--division", m_options.division,
                    "Ticks per quarter note (default 500); the file has one tempo of 120 bpm, so 500 makes "
                    "one tick one millisecond. Times the division cannot express exactly are refused.")
        ->check(CLI::Range(1, 0x7FFF))
        ->option_text("D");
    cmd->add_option("--name", m_options.trackName,
                    "The track name stored in the file (default \"mirelo updater firmware\")")
        ->option_text("TEXT");
    cmd->add_option("inputs", m_inputs, "SysEx files, read in the order given")
        ->required()
        ->option_text("INPUT.syx...");
    cmd->footer("A truncated message, a data byte above 0x7F or a byte outside any message refuses the input, "
                "with the file and the offset.\nExit status: 0 written, 1 the file could not be written, "
                "2 usage or a refused input.");
    return cmd;
}

int CPackCommand::run(std::ostream& out, std::ostream& err)
{
    // One run of whole messages, every input's after the one before: the
    // accepted .syx bytes are the messages, so they are kept as read.
    std::vector<std::uint8_t> run;
    std::size_t count = 0;
    for (const std::string& input : m_inputs) {
        CSyxReader reader;
        if (!reader.readFile(input)) {
            err << "pack: refused " << reader.describeError(input) << "\n";
            return cli_exit::kBadInput;
        }
        count += reader.messages().size();
        if (run.empty()) {
            run = reader.takeBytes();
        } else {
            const std::vector<std::uint8_t> more = reader.takeBytes();
            run.insert(run.end(), more.begin(), more.end());
        }
    }
    const CSysExRun messages(run, count);

    CUpdateFilePacker packer;
    std::vector<std::uint8_t> image;
    if (!packer.pack(messages, m_options, image)) {
        err << "pack: " << packer.error() << "\n";
        return cli_exit::kBadInput;
    }

    // "-" is standard output; the summary then goes to standard error.
    const bool toStandardOutput = m_outPath == "-";
    if (toStandardOutput) {
        out.write(reinterpret_cast<const char*>(image.data()), static_cast<std::streamsize>(image.size()));
        out.flush();
        if (!out) {
            return cli_exit::kFailed; // the one line that says so is main's, as for every command's output
        }
    } else if (std::string reason; !CFileReplacer::write(m_outPath, inputPaths(), image, reason)) {
        err << "pack: " << reason << "\n";
        return cli_exit::kFailed;
    }

    const std::uint64_t last = m_options.firstDelayMs + static_cast<std::uint64_t>(count - 1) * m_options.intervalMs;
    std::ostream& summary = toStandardOutput ? err : out;
    summary << "wrote " << (toStandardOutput ? "standard output" : m_outPath) << ": " << count
            << (count == 1 ? " message, " : " messages, ") << image.size() << " bytes, last due at " << last
            << " ms (division " << m_options.division << ")\n";
    return cli_exit::kSuccess;
}

std::vector<std::filesystem::path> CPackCommand::inputPaths() const
{
    return {m_inputs.begin(), m_inputs.end()};
}
