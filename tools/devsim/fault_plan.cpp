#include "tools/devsim/fault_plan.h"

#include <stdexcept>

namespace vek {
namespace devsim {

namespace {

struct KindName {
    RequestKind kind;
    const char* name;
};

constexpr KindName kKindNames[] = {
    {RequestKind::Any, "any"},         {RequestKind::Ping, "ping"},
    {RequestKind::EnterBootloader, "enter"}, {RequestKind::Identify, "identify"},
    {RequestKind::Page, "page"},       {RequestKind::Restart, "restart"},
    {RequestKind::Other, "other"},
};

// A whole decimal number in [minimum, maximum]; what names the field for
// the error message.
int parseNumber(const std::string& digits, int minimum, int maximum, const std::string& what,
                const std::string& whole) {
    std::size_t used = 0;
    long value = 0;
    try {
        value = std::stol(digits, &used, 10);
    } catch (const std::exception&) {
        used = 0;
    }
    if (digits.empty() || used != digits.size() || value < minimum || value > maximum) {
        throw std::invalid_argument("\"" + whole + "\": " + what + " must be a number from " +
                                    std::to_string(minimum) + " to " + std::to_string(maximum));
    }
    return static_cast<int>(value);
}

bool fireAll(std::vector<FaultRule>& rules, RequestKind kind, int page, int* sum) {
    bool fired = false;
    for (FaultRule& rule : rules) {
        if (rule.fire(kind, page)) {
            fired = true;
            if (sum) *sum += rule.value;
        }
    }
    return fired;
}

void describeRules(std::vector<std::string>& out, const std::vector<FaultRule>& rules,
                   const std::string& what, const std::string& unit) {
    for (const FaultRule& rule : rules) {
        std::string line = what + " on " + rule.selector.toString();
        if (!unit.empty()) line += " (" + unit + " " + std::to_string(rule.value) + ")";
        line += rule.times < 0 ? ", always" : ", " + std::to_string(rule.times) + " time(s)";
        out.push_back(line);
    }
}

}  // namespace

const char* requestKindName(RequestKind kind) {
    for (const KindName& entry : kKindNames) {
        if (entry.kind == kind) return entry.name;
    }
    return "?";
}

bool AnswerSelector::matches(RequestKind requestKind, int requestPage) const {
    if (kind == RequestKind::Any) return true;
    if (kind != requestKind) return false;
    return kind != RequestKind::Page || page < 0 || page == requestPage;
}

AnswerSelector AnswerSelector::parse(const std::string& text) {
    AnswerSelector selector;
    std::string name = text;
    const std::size_t colon = text.find(':');
    if (colon != std::string::npos) {
        name = text.substr(0, colon);
        if (name != "page") {
            throw std::invalid_argument("\"" + text + "\": only \"page\" takes a number (page:N)");
        }
        selector.page = parseNumber(text.substr(colon + 1), 0, 0xFFFF, "the page index", text);
    }
    for (const KindName& entry : kKindNames) {
        if (name == entry.name && entry.kind != RequestKind::Other) {
            selector.kind = entry.kind;
            return selector;
        }
    }
    throw std::invalid_argument("\"" + text +
                                "\": unknown answer selector (use any, ping, enter, identify, "
                                "page, page:N or restart)");
}

std::string AnswerSelector::toString() const {
    std::string text = requestKindName(kind);
    if (kind == RequestKind::Page && page >= 0) text += ":" + std::to_string(page);
    return text;
}

bool FaultRule::fire(RequestKind kind, int page) {
    if (times == 0 || !selector.matches(kind, page)) return false;
    if (times > 0) --times;
    return true;
}

FaultRule parseRule(const std::string& text, bool needValue) {
    FaultRule rule;
    std::string rest = text;
    const std::size_t comma = rest.find(',');
    if (comma != std::string::npos) {
        rule.times = parseNumber(rest.substr(comma + 1), 1, 1000000, "the repeat count", text);
        rest = rest.substr(0, comma);
    }
    const std::size_t equals = rest.find('=');
    std::string selectorText = rest;
    if (equals != std::string::npos) {
        if (!needValue) throw std::invalid_argument("\"" + text + "\": this fault takes no =VALUE");
        selectorText = rest.substr(0, equals);
        rule.value = parseNumber(rest.substr(equals + 1), 0, 1000000, "the value", text);
    } else if (needValue) {
        // A bare number is a value for every answer: "300" = "any=300".
        rule.value = parseNumber(rest, 0, 1000000, "the value", text);
        selectorText = "any";
    }
    rule.selector = AnswerSelector::parse(selectorText);
    return rule;
}

FaultPlan& FaultPlan::failBlockTest(int page, int times) {
    if (page < 0 || times < 1) throw std::invalid_argument("failBlockTest: page >= 0 and times >= 1");
    blockTestFailures_[page] += times;
    return *this;
}

FaultPlan& FaultPlan::silent(bool on) {
    silent_ = on;
    return *this;
}

FaultPlan& FaultPlan::stayInApplication(bool on) {
    stayInApplication_ = on;
    return *this;
}

FaultPlan& FaultPlan::errorAnswer(AnswerSelector selector, std::uint8_t code, int times) {
    errorAnswers_.push_back({selector, code, times});
    return *this;
}

FaultPlan& FaultPlan::corruptCheck(AnswerSelector selector, int times) {
    corruptChecks_.push_back({selector, 0, times});
    return *this;
}

FaultPlan& FaultPlan::delayAnswers(AnswerSelector selector, int milliseconds, int times) {
    if (milliseconds < 0) throw std::invalid_argument("delayAnswers: milliseconds >= 0");
    delays_.push_back({selector, milliseconds, times});
    return *this;
}

FaultPlan& FaultPlan::hangUpAfterPage(int page) {
    hangUpPage_ = page;
    return *this;
}

FaultPlan& FaultPlan::garbageBeforeAnswers(int count) {
    if (count < 0 || count > 4096) throw std::invalid_argument("garbage: 0 to 4096 bytes");
    garbageCount_ = count;
    return *this;
}

FaultPlan& FaultPlan::failBlockTest(const std::string& text) {
    // "PAGE[,TIMES]": the page index takes the place of the selector.
    FaultRule rule = parseRule("page:" + text, false);
    return failBlockTest(rule.selector.page, rule.times < 0 ? 1 : rule.times);
}

FaultPlan& FaultPlan::errorAnswer(const std::string& text) {
    FaultRule rule = parseRule(text, true);
    if (rule.value > 255) throw std::invalid_argument("\"" + text + "\": the device code must be 0 to 255");
    errorAnswers_.push_back(rule);
    return *this;
}

FaultPlan& FaultPlan::corruptCheck(const std::string& text) {
    corruptChecks_.push_back(parseRule(text, false));
    return *this;
}

FaultPlan& FaultPlan::delayAnswers(const std::string& text) {
    delays_.push_back(parseRule(text, true));
    return *this;
}

bool FaultPlan::takeBlockTestFailure(int page) {
    auto it = blockTestFailures_.find(page);
    if (it == blockTestFailures_.end() || it->second <= 0) return false;
    --it->second;
    return true;
}

int FaultPlan::takeErrorAnswer(RequestKind kind, int page) {
    for (FaultRule& rule : errorAnswers_) {
        if (rule.fire(kind, page)) return rule.value;
    }
    return -1;
}

bool FaultPlan::takeCorruptCheck(RequestKind kind, int page) {
    return fireAll(corruptChecks_, kind, page, nullptr);
}

int FaultPlan::takeDelay(RequestKind kind, int page) {
    int total = 0;
    fireAll(delays_, kind, page, &total);
    return total;
}

std::vector<std::string> FaultPlan::describe() const {
    std::vector<std::string> out;
    for (const auto& [page, times] : blockTestFailures_) {
        if (times > 0) out.push_back("block test of page " + std::to_string(page) + " fails " +
                                     std::to_string(times) + " time(s)");
    }
    if (silent_) out.push_back("silent: no answers");
    if (stayInApplication_) out.push_back("stays in its application after enter-bootloader");
    describeRules(out, errorAnswers_, "error answer", "code");
    describeRules(out, corruptChecks_, "corrupted check", "");
    describeRules(out, delays_, "delay", "ms");
    if (hangUpPage_ >= 0) out.push_back("hang-up after page " + std::to_string(hangUpPage_));
    if (garbageCount_ > 0) out.push_back(std::to_string(garbageCount_) + " garbage bytes before answers");
    return out;
}

}  // namespace devsim
}  // namespace vek
