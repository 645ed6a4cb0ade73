#pragma once
// A deterministic stand-in for a real firmware image and the SysEx messages
// that would carry it to the instrument. Manufacturer ID 0x7D is reserved for
// non-commercial use, so these messages can never be mistaken by a real
// instrument for its own.
//
// Messages (every byte after F0 is 7-bit):
//   header:  F0 7D 4D 01 vv vv  nn nn  bb bb  ss ss ss  cc cc cc cc cc  F7
//            version, block count, block size, image size, CRC-32 of the image
//   data:    F0 7D 4D 02 ii ii  <packed block>  k  F7
//            block index, the block's bytes in 7-bit packed form, checksum
//   closing: F0 7D 4D 03 nn nn  cc cc cc cc cc  F7
// Multi-byte numbers are 7 bits per byte, most significant first. Packing
// takes 7 bytes at a time: one byte of their top bits (bit i for byte i),
// then the 7 bytes with the top bit cleared; the last group may be shorter.
// The checksum makes the 7-bit sum of the index, the packed block and itself 0.
//
// An instrument running the firmware reports its version in the revision of
// its Identity Reply as major, minor, 0, 0. The bundled update carries 1.1,
// one ahead of the instrument emulator's 1.0, so that an update that took
// shows in the version.

#include <cstddef>
#include <cstdint>
#include <vector>

class CSyntheticFirmware {
public:
    static constexpr std::uint8_t kManufacturerId = 0x7D;
    static constexpr std::uint8_t kModelId = 0x4D;
    static constexpr std::uint8_t kCommandHeader = 0x01;
    static constexpr std::uint8_t kCommandData = 0x02;
    static constexpr std::uint8_t kCommandClosing = 0x03;
    static constexpr std::size_t kBlockCount = 240;
    static constexpr std::size_t kBlockSize = 128;
    static constexpr std::uint8_t kVersionMajor = 1;
    static constexpr std::uint8_t kVersionMinor = 1;

    CSyntheticFirmware();

    const std::vector<std::uint8_t>& image() const { return m_image; }
    // Header, the data blocks in order, closing.
    std::vector<std::vector<std::uint8_t>> messages() const;

    static std::vector<std::uint8_t> pack7(const std::uint8_t* data, std::size_t size);
    static std::vector<std::uint8_t> unpack7(const std::uint8_t* data, std::size_t size);
    static std::uint32_t crc32(const std::vector<std::uint8_t>& data);

private:
    std::vector<std::uint8_t> headerMessage() const;
    std::vector<std::uint8_t> dataMessage(std::size_t block) const;
    std::vector<std::uint8_t> closingMessage() const;

    std::vector<std::uint8_t> m_image;
};
