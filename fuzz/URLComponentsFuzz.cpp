// Whatever parses must compose back to the very same text, and its query items must survive
// being encoded again. Then what the program does with an address from outside: the link check
// lets through only https addresses the update checker would also take, a page of the product's
// site stays on the product's host, and a release that names the address is offered only when it
// is the exact download on the product's host, survives its manifest and downloads from there.
#include "model/SafeWebURL.h"
#include "platform/foundation/URLComponents.h"
#include "updates/AppRelease.h"
#include "updates/UpdateController.h"

#include <algorithm>
#include <charconv>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

namespace {

// The release an address of the form ".../Pulsedeck-<version>-<build>.zip" names, with its
// installer beside it; version 1.0 and build 1 where it names none.
pulsedeck::AppRelease releaseNamedBy(std::string_view text) {
    pulsedeck::AppRelease release{"1.0", 1, std::string(text), std::nullopt, std::nullopt};
    const auto name = text.rfind("Pulsedeck-");
    const auto dash = text.rfind('-');
    const auto dot = text.rfind('.');
    if (name != std::string_view::npos && dot != std::string_view::npos && dash > name + 9 &&
        dot > dash) {
        release.version = std::string(text.substr(name + 10, dash - name - 10));
        std::from_chars(text.data() + dash + 1, text.data() + dot, release.build);
        release.installerURL = std::string(text.substr(0, dot)) + ".dmg";
    }
    return release;
}

void checkLinkRules(std::string_view text) {
    const auto accepted = pulsedeck::safeWebURL(text);
    if (accepted && (!accepted->starts_with("https://") ||
                     !pulsedeck::UpdateController::validatedSource(*accepted)))
        std::abort();
    if (text.starts_with('/') || text.starts_with('?') || text.starts_with('#')) {
        const auto page = pulsedeck::productPageURL(text);
        const auto parsed = page ? foundation::URLComponents::parse(*page) : std::nullopt;
        if (page && (!parsed || parsed->host != pulsedeck::productWebHost))
            std::abort();
    }

    const auto release = releaseNamedBy(text);
    if (release.isAcceptable()) {
        const std::string expected = "/downloads/Pulsedeck-" + release.version + "-" +
                                     std::to_string(release.build) + ".zip";
        const std::string onHost = std::string(pulsedeck::productWebsite);
        if (!release.isWellFormed() || release.build < 1 ||
            (text != onHost + expected && text != onHost + ":443" + expected) ||
            !pulsedeck::safeWebURL(text))
            std::abort();
        const std::string& download = release.downloadURL();
        if (!download.starts_with(onHost) ||
            (download != release.url && !download.ends_with(".dmg")))
            std::abort();
    }
    // A manifest written for a release reads back as the same release whenever its addresses
    // are absolute (and text: bytes that are not UTF-8 are written replaced); an acceptable one
    // always is.
    const bool ascii = std::all_of(text.begin(), text.end(),
                                   [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    const auto decoded = pulsedeck::AppRelease::decode(release.encode());
    const auto* read = std::get_if<pulsedeck::AppRelease>(&decoded);
    if ((read && ascii && *read != release) || (!read && release.isAcceptable()))
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);
    checkLinkRules(text);
    // Any text, encoded as the links we make encode it, decodes back unchanged; and as a decoded
    // path of a web address it composes into a URL whose path decodes back to it.
    if (foundation::percentDecode(foundation::percentEncodeAllButUnreserved(text)) != text)
        std::abort();
    if (text.starts_with('/')) {
        foundation::URLComponents link;
        link.scheme = "https";
        link.host = "example.org";
        link.setDecodedPath(text);
        auto composed = link.string();
        auto parsed = composed ? foundation::URLComponents::parse(*composed) : std::nullopt;
        if (!parsed || foundation::percentDecode(parsed->path) != text)
            std::abort();
    }
    auto url = foundation::URLComponents::parse(text);
    if (!url)
        return 0;
    auto composed = url->string();
    if (!composed || *composed != text)
        std::abort();
    if (auto items = url->queryItems(); items && !items->empty()) {
        auto copy = *url;
        copy.setQueryItems(*items);
        auto again = foundation::URLComponents::parse(copy.string().value_or(""));
        if (!again || again->queryItems() != items)
            std::abort();
    }
    return 0;
}
