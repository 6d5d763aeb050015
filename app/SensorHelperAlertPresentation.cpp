#include "app/SensorHelperAlertPresentation.h"

#include "model/LinkOpening.h"
#include "model/SafeWebURL.h"
#include "platform/toolkit/Alert.h"
#include "sources/SensorClient.h"
#include "sources/SensorHelperAlert.h"

namespace pulsedeck {

void presentSensorHelperAlert(SensorClient& client, const std::function<std::string(Copy)>& texts) {
    const auto contents =
        SensorHelperAlert::make(client.currentState(), client.locateHelper().has_value());
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
            openLinkTellingOfFailure(*page, texts);
        break;
    case SensorAlertAction::retry:
        client.retryFromAlert();
        break;
    case SensorAlertAction::launchCompanion:
        // The companion may have gone while the alert was open.
        if (auto entry = client.locateHelper())
            openLinkTellingOfFailure("file://" + entry->string(), texts);
        break;
    case SensorAlertAction::nothing:
        break;
    }
}

void presentSensorHelp(AppLanguage language) {
    presentSensorHelperAlert(SensorClient::shared(),
                             [language](Copy key) { return text(key, language); });
}

} // namespace pulsedeck
