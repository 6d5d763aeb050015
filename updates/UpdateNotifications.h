#pragma once

namespace pulsedeck {

// The owner of the update notifications, kept by the controller for the life of the process.
// Nothing is posted yet: it holds no state until the update checker has releases to announce.
class UpdateNotifications {
public:
    UpdateNotifications() = default;
    UpdateNotifications(const UpdateNotifications&) = delete;
    UpdateNotifications& operator=(const UpdateNotifications&) = delete;
};

} // namespace pulsedeck
