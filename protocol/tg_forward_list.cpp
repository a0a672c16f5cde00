#include "protocol/tg_forward_list.h"

#include <utility>

namespace vek {

namespace {

bool keyMatches(int ruleKey, int queryKey) { return ruleKey < 0 || queryKey < 0 || ruleKey == queryKey; }

}  // namespace

TgForwardList::~TgForwardList() = default;

int TgForwardList::find(int type, int command, int flags) const {
    for (std::size_t i = 0; i < rules_.size(); ++i) {
        const ForwardRule& rule = rules_[i];
        if (keyMatches(rule.type, type) && keyMatches(rule.command, command) && keyMatches(rule.flags, flags)) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

ForwardCallback TgForwardList::lookup(int type, int command, int flags) const {
    const int index = find(type, command, flags);
    return index < 0 ? ForwardCallback() : rules_[static_cast<std::size_t>(index)].callback;
}

void TgForwardList::add(int type, int command, int flags, ForwardCallback callback) {
    const int index = find(type, command, flags);
    if (index >= 0) {
        rules_[static_cast<std::size_t>(index)].callback = std::move(callback);
    } else {
        rules_.push_back(ForwardRule{type, command, flags, std::move(callback)});
    }
}

}  // namespace vek
