#include "platform/animation/Transaction.h"

#include <vector>

namespace anim {

struct Transaction::Token {
    std::function<void()> completion;
    ~Token() {
        if (completion)
            completion();
    }
};

namespace {

// The open transactions of the main thread, innermost last.
std::vector<Transaction*>& openTransactions() {
    static thread_local std::vector<Transaction*> open;
    return open;
}

} // namespace

Transaction::Transaction() : token_(std::make_shared<Token>()) {
    openTransactions().push_back(this);
}

Transaction::~Transaction() {
    std::erase(openTransactions(), this);
}

void Transaction::setCompletionBlock(std::function<void()> block) {
    token_->completion = std::move(block);
}

std::shared_ptr<void> Transaction::currentToken() {
    const auto& open = openTransactions();
    if (open.empty())
        return nullptr;
    return open.back()->token_;
}

} // namespace anim
