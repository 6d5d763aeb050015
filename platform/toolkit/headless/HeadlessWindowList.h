#pragma once

#include "platform/toolkit/WindowList.h"

#include <vector>

namespace ui {

// A window list in memory: whatever the test sets, handed out as is, and a count of the queries.
class HeadlessWindowList final : public WindowList {
public:
    // Entries of other applications' windows (or of ours) as the list reports them.
    void setWindows(const std::vector<WindowListEntry>& windows);
    // Any list, malformed ones included; none = the list cannot be had.
    void setList(std::optional<foundation::PropertyArray> list) { list_ = std::move(list); }

    std::optional<foundation::PropertyArray> onScreenWindows() override;
    int queryCount() const { return queries_; }

private:
    std::optional<foundation::PropertyArray> list_ = foundation::PropertyArray{};
    int queries_ = 0;
};

} // namespace ui
