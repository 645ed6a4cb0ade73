#pragma once
// Reads an update file and builds the schedule the transfer will send, or says
// in one line why it cannot: the file cannot be read, is too large, memory ran
// out, or the verification refuses it (with the reason and the place).

#include "update/FirmwareSchedule.h"

#include <ostream>
#include <string>

class CScheduleLoader {
public:
    // The exit status: 0 with outSchedule built, else the status with one line
    // on err, each starting with inPrefix ("send: " or nothing).
    [[nodiscard]] static int load(const std::string& inPath, CFirmwareSchedule& outSchedule, std::ostream& err,
                                  const std::string& inPrefix);
};
