#include "platform/system/FakeSmcTransport.h"

#include <algorithm>
#include <bit>
#include <numeric>

namespace sys {

namespace {

std::uint32_t codeOf(std::string_view name) {
    std::uint32_t code = 0;
    for (char c : name)
        code = (code << 8) | static_cast<std::uint8_t>(c);
    return code;
}

} // namespace

// Lives no longer than the fake that made it (a client holds the transport while it holds a
// connection).
class FakeSmcTransport::Connection final : public SmcConnection {
public:
    explicit Connection(FakeSmcTransport& owner) : owner_(owner) {}
    ~Connection() override { ++owner_.closes_; }

    int callStructMethod(std::uint32_t selector, const SmcBlock& input, SmcBlock& output,
                         std::size_t& outputSize) override {
        output.fill(0);
        outputSize = 0;
        if (selector != smc::structSelector)
            return smc::statusBadArgument;
        return owner_.answer(input, output, outputSize);
    }

private:
    FakeSmcTransport& owner_;
};

FakeSmcTransport::Entry& FakeSmcTransport::set(std::string name, std::string type,
                                               std::vector<std::uint8_t> bytes) {
    if (Entry* existing = entry(name)) {
        *existing = Entry{std::move(name), std::move(type), std::move(bytes)};
        return *existing;
    }
    return entries_.emplace_back(Entry{std::move(name), std::move(type), std::move(bytes)});
}

FakeSmcTransport::Entry& FakeSmcTransport::setFloat(std::string name, float value) {
    auto bits = std::bit_cast<std::uint32_t>(value);
    return set(std::move(name), "flt ",
               {static_cast<std::uint8_t>(bits), static_cast<std::uint8_t>(bits >> 8),
                static_cast<std::uint8_t>(bits >> 16), static_cast<std::uint8_t>(bits >> 24)});
}

void FakeSmcTransport::remove(const std::string& name) {
    std::erase_if(entries_, [&](const Entry& e) { return e.name == name; });
}

FakeSmcTransport::Entry* FakeSmcTransport::entry(const std::string& name) {
    auto it = std::find_if(entries_.begin(), entries_.end(),
                           [&](const Entry& e) { return e.name == name; });
    return it == entries_.end() ? nullptr : &*it;
}

std::unique_ptr<SmcConnection> FakeSmcTransport::open() {
    if (!available_)
        return nullptr;
    ++opens_;
    return std::make_unique<Connection>(*this);
}

int FakeSmcTransport::calls() const {
    return std::accumulate(calls_.begin(), calls_.end(), 0,
                           [](int sum, const auto& pair) { return sum + pair.second; });
}

int FakeSmcTransport::calls(std::uint8_t command) const {
    auto it = calls_.find(command);
    return it == calls_.end() ? 0 : it->second;
}

void FakeSmcTransport::resetCounts() {
    opens_ = closes_ = 0;
    calls_.clear();
}

int FakeSmcTransport::answer(const SmcBlock& input, SmcBlock& output, std::size_t& outputSize) {
    std::uint8_t command = input[smc::commandOffset];
    ++calls_[command];
    if (failingCalls_ > 0 && (!failingCommand_ || *failingCommand_ == command)) {
        --failingCalls_;
        return smc::statusError;
    }
    outputSize = replySize_.value_or(smcBlockSize);
    std::uint8_t& result = output[smc::resultOffset];

    if (command == smc::keyAtIndex) {
        std::uint32_t index = smc::loadU32(input, smc::indexOffset);
        if (index >= entries_.size()) {
            result = smc::resultKeyNotFound;
        } else {
            smc::storeU32(output, smc::keyOffset, codeOf(entries_[index].name));
        }
        return smc::statusSuccess;
    }

    std::uint32_t code = smc::loadU32(input, smc::keyOffset);
    auto it = std::find_if(entries_.begin(), entries_.end(),
                           [&](const Entry& e) { return codeOf(e.name) == code; });
    if (it == entries_.end() || (command != smc::readKeyInfo && command != smc::readBytes)) {
        result = it == entries_.end() ? smc::resultKeyNotFound : smc::resultError;
        return smc::statusSuccess;
    }
    smc::storeU32(output, smc::keyOffset, code);
    if (command == smc::readKeyInfo) {
        if (it->refuseInfo) {
            result = smc::resultError;
            return smc::statusSuccess;
        }
        smc::storeU32(output, smc::dataSizeOffset,
                      it->reportedSize.value_or(static_cast<std::uint32_t>(it->bytes.size())));
        smc::storeU32(output, smc::dataTypeOffset, codeOf(it->type));
        return smc::statusSuccess;
    }
    if (it->refuseRead) {
        result = smc::resultError;
        return smc::statusSuccess;
    }
    std::size_t wanted =
        std::min<std::size_t>(smc::loadU32(input, smc::dataSizeOffset), smc::dataCapacity);
    std::copy_n(it->bytes.begin(), std::min(wanted, it->bytes.size()),
                output.begin() + smc::dataOffset);
    return smc::statusSuccess;
}

} // namespace sys
