#pragma once

// Header-only: the support library links nothing but GTest.

#include "platform/dispatch/RunLoop.h"
#include "platform/system/NotificationCenter.h"

#include <vector>

namespace testsupport {

// A notification centre that answers with a status the test sets, answers on the main queue as
// the desktop's does, and records what it is asked.
class FakeNotificationCenter final : public sys::NotificationCenter {
public:
    sys::NotificationAuthorization status = sys::NotificationAuthorization::authorized;
    std::optional<std::string> addError;
    std::vector<sys::NotificationRequest> added;
    int authorizationRequests = 0;

    void getAuthorization(std::function<void(sys::NotificationAuthorization)> completion) override {
        dispatch::mainQueue().async([completion, status = status] { completion(status); });
    }
    void requestAuthorization(std::function<void(bool)> completion) override {
        ++authorizationRequests;
        dispatch::mainQueue().async([completion, status = status] {
            completion(status == sys::NotificationAuthorization::authorized);
        });
    }
    void add(sys::NotificationRequest request,
             std::function<void(std::optional<std::string>)> completion) override {
        added.push_back(std::move(request));
        dispatch::mainQueue().async([completion, error = addError] { completion(error); });
    }
};

} // namespace testsupport
