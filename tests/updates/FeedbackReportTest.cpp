#include "updates/FeedbackReport.h"

#include "platform/foundation/ProcessInfo.h"
#include "platform/foundation/URLComponents.h"

#include <cctype>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace pulsedeck {
namespace {

// What a mail program reads out of the link: recipient, subject and body.
struct DecodedMail {
    std::string recipient;
    std::string subject;
    std::string body;
};

std::optional<DecodedMail> decode(const std::string& link) {
    auto components = foundation::URLComponents::parse(link);
    if (!components || components->scheme != "mailto" || components->host)
        return std::nullopt;
    auto items = components->queryItems();
    if (!items || items->size() != 2 || (*items)[0].name != "subject" ||
        (*items)[1].name != "body" || !(*items)[0].value || !(*items)[1].value)
        return std::nullopt;
    return DecodedMail{components->path, *(*items)[0].value, *(*items)[1].value};
}

TEST(FeedbackReport, HiGivesFourLinesWithTheRealSystem) {
    const auto system = foundation::OperatingSystemInfo::parse(
        "NAME=\"Debian GNU/Linux\"\nVERSION_ID=\"12\"\nPRETTY_NAME=\"Debian GNU/Linux 12 "
        "(bookworm)\"\n",
        "Linux", "6.1.0-18-amd64");
    EXPECT_EQ(feedbackReport("2.1.0", system.versionString, "Hi"),
              "Pulsedeck 2.1.0\nDebian GNU/Linux 12 (bookworm)\n\nHi");
    EXPECT_EQ(feedbackReport(std::nullopt, "Fedora Linux 40 (Workstation Edition)", ""),
              "Pulsedeck —\nFedora Linux 40 (Workstation Edition)\n\n");
    // Not trimmed: what was typed is what is sent.
    EXPECT_EQ(feedbackReport("1", "S", "  a \n"), "Pulsedeck 1\nS\n\n  a \n");
}

TEST(FeedbackReport, MailLinkEncodesEverythingButUnreservedCharacters) {
    const std::string link = feedbackMailURL("a b&c=d#e+f%g?h\r\ni—");
    EXPECT_EQ(link, "mailto:feedback@pulsedeck.dorvettin.net"
                    "?subject=Pulsedeck%20%E2%80%94%20Feedback"
                    "&body=a%20b%26c%3Dd%23e%2Bf%25g%3Fh%0D%0Ai%E2%80%94");
}

TEST(FeedbackReport, MailLinkRoundTripsEveryReport) {
    std::string large;
    while (large.size() < 100 * 1024)
        large += "line & more = #tag +1 100% ?\r\n— 😀 ";
    const std::vector<std::string> messages = {
        "",
        "Hi",
        "& = # + % ?",
        "&bcc=someone@example.com&subject=spoofed",
        "%41 is not A, %zz is not anything, and a lone % stays",
        "  spaces around  ",
        "line one\r\nline two\nline three\r",
        "em dash — and emoji 😀👍🏽 and 中文",
        std::string("nul\0inside", 10),
        large,
    };
    for (const auto& message : messages) {
        const std::string report =
            feedbackReport("2.1.0", "Debian GNU/Linux 12 (bookworm)", message);
        const std::string link = feedbackMailURL(report);
        for (char c : link.substr(link.find('?')))
            ASSERT_TRUE(std::isalnum(static_cast<unsigned char>(c)) ||
                        std::string_view("-._~%?&=").find(c) != std::string_view::npos)
                << "raw " << int(c) << " in the link of \"" << message.substr(0, 40) << "\"";
        const auto mail = decode(link);
        ASSERT_TRUE(mail) << message.substr(0, 40);
        EXPECT_EQ(mail->recipient, feedbackRecipient);
        EXPECT_EQ(mail->subject, "Pulsedeck — Feedback");
        EXPECT_EQ(mail->body, report) << message.substr(0, 40);
    }
}

TEST(FeedbackReport, SupportPageIsOnTheProductSite) {
    EXPECT_EQ(supportPageURL(), "https://pulsedeck.dorvettin.net/support");
}

} // namespace
} // namespace pulsedeck
