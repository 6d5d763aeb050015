#pragma once

#include <functional>
#include <memory>

namespace anim {

// A group of layer changes: the completion block runs once the transaction has ended and every
// animation added to a layer while it was open has stopped (at once when it ends, when none was
// added). Transactions nest; an animation belongs to the innermost one. Our layers never animate
// a model change on their own (there are no implicit actions), so a transaction only groups.
//
// Open one as a local object: the destructor commits it. Main thread only.
class Transaction {
public:
    Transaction();
    ~Transaction();
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;

    void setCompletionBlock(std::function<void()> block);

    // What an animation added now holds until it stops: the innermost open transaction's token,
    // or none outside every transaction.
    static std::shared_ptr<void> currentToken();

private:
    struct Token;
    std::shared_ptr<Token> token_;
};

} // namespace anim
