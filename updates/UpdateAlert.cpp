#include "updates/UpdateAlert.h"

#include "model/TextFormat.h"
#include "platform/toolkit/Alert.h"

namespace pulsedeck {

UpdateAlertContent updateAlertContent(const UpdateOutcome& outcome, AppLanguage language,
                                      const std::string& currentVersion) {
    using Kind = UpdateOutcome::Kind;
    if (outcome.kind == Kind::available && outcome.release) {
        const std::string arguments[] = {outcome.release->version, currentVersion};
        return {text(Copy::updateAvailable, language),
                formatText(text(Copy::updateAvailableMessage, language), arguments),
                {text(Copy::updateNow, language), text(Copy::remindLater, language)}};
    }
    std::string informative;
    switch (outcome.kind) {
    case Kind::requiresSystem: {
        const std::string arguments[] = {outcome.minimumSystem};
        informative = formatText(text(Copy::updateRequiresSystem, language), arguments);
        break;
    }
    case Kind::unavailable:
        informative = text(Copy::updatesUnavailable, language);
        break;
    case Kind::unsupported:
        informative = text(Copy::updatesUnsupported, language);
        break;
    case Kind::current:
        informative = text(Copy::upToDate, language);
        break;
    case Kind::available:
    case Kind::failed:
        informative = text(Copy::updatesFailed, language);
        break;
    }
    informative += "\n" + text(Copy::currentVersion, language) + ": " + currentVersion;
    return {text(Copy::checkUpdates, language), informative, {text(Copy::okay, language)}};
}

std::unique_ptr<ui::Alert> makeUpdateAlert(const UpdateOutcome& outcome, AppLanguage language,
                                           const std::string& currentVersion) {
    const UpdateAlertContent content = updateAlertContent(outcome, language, currentVersion);
    auto alert = std::make_unique<ui::Alert>();
    alert->setMessageText(content.message);
    alert->setInformativeText(content.informative);
    for (const auto& title : content.buttons)
        alert->addButton(title);
    return alert;
}

bool alertAnswerOpensDownload(const UpdateOutcome& outcome, long response) {
    return response == ui::ModalResponse::alertFirstButton &&
           outcome.kind == UpdateOutcome::Kind::available && outcome.release &&
           outcome.release->isAcceptable();
}

} // namespace pulsedeck
