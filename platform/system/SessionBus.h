#pragma once

#include "platform/dispatch/RunLoop.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

struct DBusConnection;
struct DBusMessage;

namespace sys {

// One private connection to the user's session bus, served by the run loop: nothing here waits
// for the bus. Calls go out at once and their replies come back through the loop; every call has
// a time limit after which it ends without a reply. Main thread only.
class SessionBus {
public:
    // None when the address cannot be connected to. The bus's greeting (Hello) is sent first and
    // answered through the loop like any call.
    static std::unique_ptr<SessionBus> connect(dispatch::RunLoop& loop, const std::string& address);
    ~SessionBus();
    SessionBus(const SessionBus&) = delete;
    SessionBus& operator=(const SessionBus&) = delete;

    // Sends a method call (taking the message) and hands its reply to completion exactly once:
    // the reply or error message, or null when the time limit passed, the bus went away or the
    // call could not be sent. The message lives only during the completion.
    void call(DBusMessage* message, double timeLimit,
              std::function<void(DBusMessage* reply)> completion);

    // Asks the bus for the signals a match rule names and hands each to the handler.
    void addSignalHandler(const std::string& matchRule, std::function<void(DBusMessage*)> handler);

    bool isConnected() const;

    // The connection's filter hands every incoming message here; answers whether it was a signal
    // some handler took.
    bool takeSignal(DBusMessage* message);

private:
    struct Pending;
    SessionBus(dispatch::RunLoop& loop, DBusConnection* connection);
    void pump();
    void watch();
    void finish(std::uint64_t serial, DBusMessage* reply);
    void failAll();

    dispatch::RunLoop& loop_;
    DBusConnection* connection_;
    dispatch::RunLoop::Registration source_;
    bool watchingOutput_ = false;
    std::vector<std::function<void(DBusMessage*)>> signalHandlers_;
    std::vector<std::unique_ptr<Pending>> pending_;
    std::uint64_t nextSerial_ = 1;
    std::shared_ptr<int> alive_ = std::make_shared<int>(0);
};

} // namespace sys
