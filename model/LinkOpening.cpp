#include "model/LinkOpening.h"

#include "platform/toolkit/Alert.h"
#include "platform/toolkit/Workspace.h"

namespace pulsedeck {

bool openLinkTellingOfFailure(const std::string& url, std::function<std::string(Copy)> texts) {
    return ui::Workspace::shared().openURL(url, [url, texts = std::move(texts)](bool succeeded) {
        if (succeeded)
            return;
        ui::Alert alert;
        alert.setMessageText(texts(Copy::linkOpenFailed));
        alert.setInformativeText(texts(Copy::linkOpenFailedInfo) + "\n" + url);
        alert.addButton(texts(Copy::okay));
        alert.runModal();
    });
}

bool openLinkTellingOfFailure(const std::string& url, AppLanguage language) {
    return openLinkTellingOfFailure(url, [language](Copy key) { return text(key, language); });
}

} // namespace pulsedeck
