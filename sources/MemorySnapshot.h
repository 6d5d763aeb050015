#pragma once

#include "model/Localization.h"

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace pulsedeck {

// A byte count as the memory figures show it: "0 bytes"; below 1 MiB the memory-style byte text
// of ByteCountFormatter; below 1 GiB "%.1f MB"; from 1 GiB on "%.2f GB" (binary units, always ".").
std::string formatMemoryBytes(std::uint64_t bytes);

// True when the text's leading run of digits, ".", ",", space, no-break space and narrow
// no-break space holds at least one digit and only zeros ("0 bytes", "0.00 GB", "0,0 MB").
bool isZeroAmountText(std::string_view text);

// One memory sample: the figures as display texts, the pressure and the memory-status height.
struct MemorySnapshot {
    // "—" (U+2014) when not known.
    std::string physical = "\u2014";
    std::string used = "\u2014";
    std::string cached = "\u2014";
    std::string swap = "\u2014";
    // The kernel's pressure level, kept only when it is 1, 2 or 4.
    std::optional<std::int32_t> pressure;
    // 0…1, (100 − memory-status level) / 100.
    std::optional<double> height;
    // Used bytes / physical bytes.
    std::optional<double> usedFraction;
    // Always false from the reader.
    bool mirrored = false;
    // Wall-clock time at which the sample began.
    std::chrono::system_clock::time_point sampledAt;
    // `independent` when used and cached were computed, else `waiting`.
    Copy explanation = Copy::waiting;

    bool operator==(const MemorySnapshot&) const = default;

    // `normal`, `elevated` or `high` for levels 1, 2 and 4; `unknown` for anything else.
    std::string pressureText(AppLanguage language) const;

    // The memory part of the status item's tooltip and accessibility text:
    // "<pressure>: <level>. <physical>: …. <used>: …. <cached>: …. <swap>: …. <explanation>",
    // the swap figure as "—" when it is a zero amount.
    std::string summaryText(AppLanguage language) const;

    // The short label under the single value of the automatic display: `shortUsed` when no swap
    // is in use, else `shortSwap`.
    std::string secondaryLabel(AppLanguage language) const;
};

// "—" for every figure, no pressure, waiting; stamped with the current wall-clock time.
MemorySnapshot memoryPlaceholder();

// One entry of the memory history: the snapshot's height (not its used fraction) and its
// pressure level.
struct PressurePoint {
    std::optional<double> fraction;
    std::optional<std::int32_t> level;

    bool operator==(const PressurePoint&) const = default;
};

} // namespace pulsedeck
