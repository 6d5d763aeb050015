#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>

namespace sys {

// The system management controller's call interface. Every call sends one 80-byte parameter block
// and receives one of the same layout; multi-byte fields are in native (little-endian) order and a
// four-character code travels as the integer whose most significant byte is its first character.
inline constexpr std::size_t smcBlockSize = 80;
using SmcBlock = std::array<std::uint8_t, smcBlockSize>;

namespace smc {

// Byte offsets in the parameter block.
inline constexpr std::size_t keyOffset = 0;
inline constexpr std::size_t dataSizeOffset = 28;
inline constexpr std::size_t dataTypeOffset = 32;
inline constexpr std::size_t resultOffset = 40;
inline constexpr std::size_t commandOffset = 42;
inline constexpr std::size_t indexOffset = 44;
inline constexpr std::size_t dataOffset = 48;
inline constexpr std::size_t dataCapacity = 32;

// Command bytes.
inline constexpr std::uint8_t readKeyInfo = 9;
inline constexpr std::uint8_t readBytes = 5;
inline constexpr std::uint8_t keyAtIndex = 8;

// The struct-method selector that carries the block.
inline constexpr std::uint32_t structSelector = 2;

// Result bytes the controller answers with.
inline constexpr std::uint8_t resultSuccess = 0;
inline constexpr std::uint8_t resultError = 1;
inline constexpr std::uint8_t resultKeyNotFound = 0x84;

// Call statuses: 0 is success, anything else failed the call itself.
inline constexpr int statusSuccess = 0;
inline constexpr int statusError = -1;
inline constexpr int statusBadArgument = -2;

inline std::uint32_t loadU32(const SmcBlock& block, std::size_t offset) {
    std::uint32_t value;
    std::memcpy(&value, block.data() + offset, sizeof value);
    return value;
}

inline void storeU32(SmcBlock& block, std::size_t offset, std::uint32_t value) {
    std::memcpy(block.data() + offset, &value, sizeof value);
}

} // namespace smc

// An open connection to the controller; destroying it closes it.
class SmcConnection {
public:
    virtual ~SmcConnection() = default;

    // Sends `input` through `selector` and fills `output`; `outputSize` is set to the number of
    // bytes that came back. Returns smc::statusSuccess or a failure status. May block on firmware:
    // call only from the sampling queue.
    virtual int callStructMethod(std::uint32_t selector, const SmcBlock& input, SmcBlock& output,
                                 std::size_t& outputSize) = 0;
};

// Where connections to the controller come from: the hwmon emulator on a live machine, a table in
// tests.
class SmcTransport {
public:
    virtual ~SmcTransport() = default;

    // A new connection, or null when there is no controller or it cannot be opened.
    virtual std::unique_ptr<SmcConnection> open() = 0;
};

} // namespace sys
