#pragma once

#include <curl/curl.h>
#include <string>

namespace foundation {

// libcurl's entry points, opened with dlopen on the first request rather than linked: linking
// brings libcurl's TLS, SSH, LDAP and Kerberos libraries into every run, several megabytes
// resident, for a check that runs at most once a week.
struct Libcurl {
    decltype(&curl_easy_init) easyInit = nullptr;
    decltype(&curl_easy_cleanup) easyCleanup = nullptr;
    decltype(&curl_easy_setopt) easySetopt = nullptr;
    decltype(&curl_easy_getinfo) easyGetinfo = nullptr;
    decltype(&curl_easy_strerror) easyStrerror = nullptr;
    decltype(&curl_multi_init) multiInit = nullptr;
    decltype(&curl_multi_cleanup) multiCleanup = nullptr;
    decltype(&curl_multi_add_handle) multiAddHandle = nullptr;
    decltype(&curl_multi_remove_handle) multiRemoveHandle = nullptr;
    decltype(&curl_multi_perform) multiPerform = nullptr;
    decltype(&curl_multi_poll) multiPoll = nullptr;
    decltype(&curl_multi_wakeup) multiWakeup = nullptr;
    decltype(&curl_multi_info_read) multiInfoRead = nullptr;
    decltype(&curl_multi_strerror) multiStrerror = nullptr;

    // The library, loaded and globally initialised once for the whole process and kept for its
    // life; null when it cannot be, with the reason in `failure`.
    static const Libcurl* shared(std::string& failure);
};

} // namespace foundation
