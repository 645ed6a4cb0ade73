#pragma once
// Track bodies the SMF reader must refuse, each with what the update-file
// verification says of it: the words that name the problem and the offset,
// within the body, of the byte it points at.

#include <cstdint>
#include <initializer_list>
#include <vector>

namespace mirelo::test {

struct SMalformedTrackBody {
    const char* name;
    std::vector<std::uint8_t> body;
    const char* diagnosis;
    std::uint32_t offset;
};

inline std::vector<std::uint8_t> trackBody(std::initializer_list<int> values, std::size_t fill = 0,
                                           std::uint8_t fillByte = 0)
{
    std::vector<std::uint8_t> out;
    for (int v : values) {
        out.push_back(static_cast<std::uint8_t>(v));
    }
    out.insert(out.end(), fill, fillByte);
    return out;
}

inline std::vector<SMalformedTrackBody> malformedTrackBodies()
{
    return {
        {"delta time of five bytes", trackBody({0x81, 0x81, 0x81, 0x81, 0x00, 0x90, 0x3C, 0x40}),
         "delta time longer than four bytes", 0},
        {"delta time past the end", trackBody({0x00, 0xC0, 0x01, 0x81}), "delta time cut short", 3},
        {"body ends after a delta time", trackBody({0x00, 0xC0, 0x01, 0x00}), "ends after a delta time", 3},
        {"data byte without running status", trackBody({0x00, 0x3C, 0x40}), "data byte 0x3C with no running status", 1},
        {"system byte without running status", trackBody({0x00, 0xF1, 0x01}), "status byte 0xF1 cannot stand", 1},
        {"channel data past the end", trackBody({0x00, 0x90, 0x3C}), "channel message cut short", 1},
        {"running data past the end", trackBody({0x00, 0x90, 0x3C, 0x40, 0x00, 0x3C}), "channel message cut short", 5},
        {"meta without type", trackBody({0x00, 0xFF}), "meta event cut short", 1},
        {"meta without length", trackBody({0x00, 0xFF, 0x01}), "meta event cut short", 1},
        {"meta length past the end", trackBody({0x00, 0xFF, 0x01, 0x81}), "meta event length field runs past", 3},
        {"meta data past the end", trackBody({0x00, 0xFF, 0x01, 0x05, 'a', 'b'}),
         "meta event of 5 bytes runs past the end of the track (2 left)", 3},
        {"meta length of five bytes", trackBody({0x00, 0xFF, 0x01, 0x80, 0x80, 0x80, 0x80, 0x00}),
         "meta event length field runs past", 3},
        {"meta length above 65535", trackBody({0x00, 0xFF, 0x01, 0x84, 0x80, 0x00}, 0x10000, 0x41),
         "meta event length 65,536 above 65,535", 3},
        {"sysex without length", trackBody({0x00, 0xF0}), "SysEx cut short", 1},
        {"sysex data past the end", trackBody({0x00, 0xF0, 0x05, 0x01, 0xF7}), "SysEx of 5 bytes runs past", 2},
        {"sysex length above 65535", trackBody({0x00, 0xF0, 0x84, 0x80, 0x00}, 0x10000, 0x01),
         "SysEx length 65,536 above 65,535", 2},
        {"escape data past the end", trackBody({0x00, 0xF7, 0x03, 0x01}), "SysEx of 3 bytes runs past", 2},
        {"escape length past the end", trackBody({0x00, 0xF7, 0xFF}), "SysEx length field runs past", 2},
    };
}

} // namespace mirelo::test
