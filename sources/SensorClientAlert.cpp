#include "model/SafeWebURL.h"
#include "platform/toolkit/Alert.h"
#include "platform/toolkit/Workspace.h"
#include "sources/SensorClient.h"
#include "sources/SensorHelperAlert.h"

namespace pulsedeck {

namespace {

// Hands the address to the desktop; when nothing there opens it (no xdg-utils, no browser), the
// user is told so and given the address to open by hand.
void openTellingOfFailure(const std::string& url, std::function<std::string(Copy)> texts) {
    ui::Workspace::shared().openURL(url, [url, texts = std::move(texts)](bool succeeded) {
        if (succeeded)
            return;
        ui::Alert alert;
        alert.setMessageText(texts(Copy::linkOpenFailed));
        alert.setInformativeText(texts(Copy::linkOpenFailedInfo) + "\n" + url);
        alert.addButton(texts(Copy::okay));
        alert.runModal();
    });
}

} // namespace

void SensorClient::presentHelperAlert(AppLanguage language) {
    presentHelperAlert([language](Copy key) { return text(key, language); });
}

void SensorClient::presentHelperAlert(const std::function<std::string(Copy)>& texts) {
    const auto contents = SensorHelperAlert::make(currentState(), locateHelper().has_value());
    ui::Alert alert;
    alert.setMessageText(texts(contents.message));
    alert.setInformativeText(texts(contents.informative));
    for (SensorAlertButton button : contents.buttons)
        alert.addButton(texts(title(button)));

    const long response = alert.runModal() - ui::ModalResponse::alertFirstButton;
    if (response < 0)
        return;
    switch (contents.action(static_cast<std::size_t>(response))) {
    case SensorAlertAction::openSensorsPage:
        if (auto page = productPageURL("/sensors"))
            openTellingOfFailure(*page, texts);
        break;
    case SensorAlertAction::retry:
        retryFromAlert();
        break;
    case SensorAlertAction::launchCompanion:
        // The companion may have gone while the alert was open.
        if (auto entry = locateHelper())
            openTellingOfFailure("file://" + entry->string(), texts);
        break;
    case SensorAlertAction::nothing:
        break;
    }
}

} // namespace pulsedeck
