#include "platform/foundation/Libcurl.h"

#include <dlfcn.h>

namespace foundation {

namespace {

struct Loading {
    Libcurl library;
    bool loaded = false;
    std::string failure;
};

Loading load() {
    Loading loading;
    // Never closed: libcurl's TLS library pins itself in the process once initialised.
    void* handle = ::dlopen("libcurl.so.4", RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        const char* reason = ::dlerror();
        loading.failure = std::string("libcurl could not be loaded: ") +
                          (reason ? reason : "libcurl.so.4 not found");
        return loading;
    }
    bool complete = true;
    auto bind = [&]<typename Function>(Function& function, const char* name) {
        function = reinterpret_cast<Function>(::dlsym(handle, name));
        complete = complete && function;
    };
    Libcurl& curl = loading.library;
    bind(curl.easyInit, "curl_easy_init");
    bind(curl.easyCleanup, "curl_easy_cleanup");
    bind(curl.easySetopt, "curl_easy_setopt");
    bind(curl.easyGetinfo, "curl_easy_getinfo");
    bind(curl.easyStrerror, "curl_easy_strerror");
    bind(curl.multiInit, "curl_multi_init");
    bind(curl.multiCleanup, "curl_multi_cleanup");
    bind(curl.multiAddHandle, "curl_multi_add_handle");
    bind(curl.multiRemoveHandle, "curl_multi_remove_handle");
    bind(curl.multiPerform, "curl_multi_perform");
    bind(curl.multiPoll, "curl_multi_poll");
    bind(curl.multiWakeup, "curl_multi_wakeup");
    bind(curl.multiInfoRead, "curl_multi_info_read");
    bind(curl.multiStrerror, "curl_multi_strerror");
    auto globalInit =
        reinterpret_cast<decltype(&curl_global_init)>(::dlsym(handle, "curl_global_init"));
    if (!complete || !globalInit) {
        loading.failure = "libcurl is too old: it lacks curl_multi_poll or curl_multi_wakeup";
        return loading;
    }
    if (const CURLcode code = globalInit(CURL_GLOBAL_DEFAULT); code != CURLE_OK) {
        loading.failure = std::string("libcurl could not start: ") + curl.easyStrerror(code);
        return loading;
    }
    loading.loaded = true;
    return loading;
}

} // namespace

const Libcurl* Libcurl::shared(std::string& failure) {
    static const Loading loading = load();
    failure = loading.failure;
    return loading.loaded ? &loading.library : nullptr;
}

} // namespace foundation
