#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pulsedeck {

// Every user-visible text, by key. The order is fixed; the raw name is the key in the text
// resource.
// clang-format off
#define PULSEDECK_COPY_KEYS(X) \
    X(compact) X(feedbackMessage) X(feedbackSend) X(feedbackCopy) \
    X(feedbackSupport) X(feedbackHint) X(feedbackCopied) X(yellow) \
    X(indigo) X(moduleColor) X(overview) X(detailView) \
    X(viewLayout) X(sensorCompanion) X(sensorReady) X(sensorNeeded) \
    X(sensorInvalid) X(sensorGet) X(sensorRetry) X(sensorOpen) \
    X(sortShort) X(deviceRemaining) X(deviceRateMaximumShort) X(devicesEnabled) \
    X(noDevices) X(linkRate) X(maximumLinkRate) X(deviceRateUnknown) \
    X(deviceRateHint) X(deviceCapacity) X(devicesShort) X(floating) \
    X(floatingCopy) X(floatingMove) X(returnToMenuBar) X(closeFloating) \
    X(floatingModules) X(floatingAppearance) X(opacity) X(alwaysOnTop) \
    X(hideInFullscreen) X(pressure) X(physical) X(used) \
    X(cached) X(swap) X(normal) X(elevated) \
    X(high) X(unknown) X(last60) X(launchAtLogin) \
    X(loginPending) X(loginError) X(systemSettings) X(settings) \
    X(appearanceTheme) X(lightAppearance) X(darkAppearance) X(peak) \
    X(computeEnabled) X(computeDisplay) X(bars) X(cpuUsage) \
    X(gpuUsage) X(showChart) X(thermometer) X(chartAndValues) \
    X(valuesOnly) X(checkUpdates) X(feedback) X(privacyPolicy) \
    X(updatesUnavailable) X(feedbackUnavailable) X(currentVersion) X(okay) \
    X(automaticUpdates) X(everyWeek) X(everyMonth) X(everyThreeMonths) \
    X(neverUpdates) X(updateAvailable) X(updateAvailableMessage) X(updateNow) \
    X(remindLater) X(upToDate) X(updatesFailed) X(updateRequiresSystem) \
    X(followTheme) X(colorfulMode) X(networkColors) X(expandDetails) \
    X(collapseDetails) X(sortModules) X(finishSorting) X(hideModule) \
    X(fanAnimation) X(fanAnimationOff) X(efficient) X(smooth) \
    X(teal) X(purple) X(pink) X(orange) \
    X(red) X(reorder) X(colorful) X(interfaces) \
    X(downloadPeak) X(uploadPeak) X(sensors) X(temperatureRange) \
    X(themeColor) X(chartLength) X(memoryEnabled) X(networkEnabled) \
    X(temperatureEnabled) X(download) X(upload) X(shortTemperature) \
    X(cpuTemperature) X(displaySections) X(display) X(allFour) \
    X(swapOnly) X(normalColor) X(green) X(blue) \
    X(fixed) X(language) X(systemLanguage) X(connect) \
    X(reconnect) X(allowSync) X(systemReadings) X(syncReadings) \
    X(open) X(quit) X(waiting) X(waitingPanel) \
    X(waitingPermission) X(synced) X(independent) X(sourceHint) \
    X(permissionHint) X(statusCached) X(statusSwap) X(shortPhysical) \
    X(shortUsed) X(shortCached) X(shortSwap) X(openShort) \
    X(syncHelp) X(systemHelp) X(returnSyncHelp) X(automatic) \
    X(twoValues) X(automaticHint) X(pairHint) X(fanEnabled) \
    X(fanColor) X(singleMemory) X(singleSwap) X(singleUsed) \
    X(welcomeTitle) X(welcomeBody) X(welcomeOK) X(fan) \
    X(fanShort) X(fanDisplay) X(fanOff) X(fanRing) \
    X(fanGraph) X(blockSpacing) X(fanUnavailable) X(noFans) \
    X(fanMaximum) X(fanHardwareHint) X(linkOpenFailed) X(linkOpenFailedInfo) \
    X(updatesUnsupported)
// clang-format on

enum class Copy {
#define PULSEDECK_COPY_CASE(name) name,
    PULSEDECK_COPY_KEYS(PULSEDECK_COPY_CASE)
#undef PULSEDECK_COPY_CASE
};

inline constexpr std::size_t copyCount = 181;

// Every key in declaration order.
const std::array<Copy, copyCount>& allCopies();

// The raw name of a key, which is also its name in the text resource.
std::string_view toString(Copy key);

// The key with exactly that raw name (case-sensitive).
std::optional<Copy> parseCopy(std::string_view rawName);

// The eight interface languages; the raw value is the language code, used as the resource's
// top-level key and as the stored "language" setting.
enum class AppLanguage {
    english,
    simplified,
    traditional,
    japanese,
    korean,
    german,
    french,
    spanish
};

inline constexpr std::size_t appLanguageCount = 8;

const std::array<AppLanguage, appLanguageCount>& allAppLanguages();

// "en", "zh-Hans", "zh-Hant", "ja", "ko", "de", "fr", "es".
std::string_view toString(AppLanguage language);

// The language with exactly that code (case-sensitive).
std::optional<AppLanguage> parseAppLanguage(std::string_view code);

// The language's own name for itself, as the language menu shows it.
std::string_view nativeName(AppLanguage language);

// The text of a key in a language from the shipped resource, else its English text, else the
// key's raw name. The resource is loaded once on the first call (from any thread); a missing or
// malformed resource stops the process with "Missing localization resource".
std::string text(Copy key, AppLanguage language);

// Maps one preferred-language identifier (a locale name such as "zh_TW" or "en-GB") to an
// interface language; nothing when none matches.
std::optional<AppLanguage> languageFromLocaleIdentifier(std::string_view identifier);

// The language in force: the stored setting when it is a language code, else the first preferred
// identifier that maps to a language, else English. The stored value "system" is no code.
AppLanguage resolve(std::string_view stored, const std::vector<std::string>& preferred);

} // namespace pulsedeck
