#pragma once
// `pack`: makes an update file from SysEx input (.syx files), paced at a
// fixed interval.

#include "cli/Command.h"
#include "cli/UpdateFilePacker.h"

#include <filesystem>
#include <string>
#include <vector>

class CPackCommand : public CCommand {
public:
    CLI::App* attach(CLI::App& inApp) override;
    int run(std::ostream& out, std::ostream& err) override;

private:
    std::vector<std::filesystem::path> inputPaths() const;

    std::string m_outPath;
    std::vector<std::string> m_inputs;
    CUpdateFilePacker::SOptions m_options;
};
