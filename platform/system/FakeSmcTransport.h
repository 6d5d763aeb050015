#pragma once

#include "platform/system/SmcTransport.h"

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace sys {

// A controller made of a table, for tests: each key has a type and raw value bytes, and can be
// told to misbehave. It counts every open, close and call so tests can see what a client did.
class FakeSmcTransport final : public SmcTransport {
public:
    struct Entry {
        std::string name;
        // Four characters, such as "flt " or "sp78".
        std::string type;
        std::vector<std::uint8_t> bytes;
        // The size the key information reports; the byte count when unset.
        std::optional<std::uint32_t> reportedSize{};
        // Answer the key-information or the read command with a failure result byte.
        bool refuseInfo = false;
        bool refuseRead = false;
    };

    FakeSmcTransport() = default;
    FakeSmcTransport(const FakeSmcTransport&) = delete;
    FakeSmcTransport& operator=(const FakeSmcTransport&) = delete;

    // Adds or replaces a key; keys are listed by index in the order they were first added.
    Entry& set(std::string name, std::string type, std::vector<std::uint8_t> bytes);
    Entry& setFloat(std::string name, float value);
    void remove(const std::string& name);
    Entry* entry(const std::string& name);

    // The controller is missing: every open fails.
    void setAvailable(bool available) { available_ = available; }
    // The next `count` calls (of `command` only, when given) fail at the transport level.
    void failNextCalls(int count, std::optional<std::uint8_t> command = std::nullopt) {
        failingCalls_ = count;
        failingCommand_ = command;
    }
    // Every call returns this many bytes instead of a whole block.
    void setReplySize(std::optional<std::size_t> size) { replySize_ = size; }

    std::unique_ptr<SmcConnection> open() override;

    int opens() const { return opens_; }
    int closes() const { return closes_; }
    int openConnections() const { return opens_ - closes_; }
    int calls() const;
    int calls(std::uint8_t command) const;
    void resetCounts();

private:
    class Connection;
    int answer(const SmcBlock& input, SmcBlock& output, std::size_t& outputSize);

    std::vector<Entry> entries_;
    bool available_ = true;
    int failingCalls_ = 0;
    std::optional<std::uint8_t> failingCommand_;
    std::optional<std::size_t> replySize_;
    int opens_ = 0;
    int closes_ = 0;
    std::map<std::uint8_t, int> calls_;
};

} // namespace sys
