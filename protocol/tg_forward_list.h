#pragma once

// Rules that hand telegrams of other commands, arriving while the handler
// waits for an answer, to callbacks instead of the waiting caller.

#include <functional>
#include <vector>

#include "protocol/telegram.h"

namespace vek {

using ForwardCallback = std::function<void(const VekTelegram*)>;

struct ForwardRule {
    int type;     // a negative key matches any value
    int command;
    int flags;
    ForwardCallback callback;
};

class TgForwardList {
public:
    virtual ~TgForwardList();

    // Index of the first rule matching (type, command, flags), or -1. A key
    // matches when either side is negative or both are equal.
    int find(int type, int command, int flags) const;
    // The callback of the first matching rule, or an empty one.
    ForwardCallback lookup(int type, int command, int flags) const;
    // Replaces the callback of the first matching rule (its keys stay as
    // they are), or appends a new rule when none matches.
    void add(int type, int command, int flags, ForwardCallback callback);

    const std::vector<ForwardRule>& rules() const { return rules_; }

private:
    std::vector<ForwardRule> rules_;
};

}  // namespace vek
