#pragma once

// The faults a simulated detector can be told to show: failing block tests,
// silence, refusing to leave its application, error answers, corrupted check
// bytes, delayed answers, a pulled cable and line noise before answers.
//
// Faults that aim at particular answers name them with a selector: a kind of
// request (ping, enter, identify, page, restart, or any) and, for pages, an
// optional page index. Each such rule fires a limited number of times or
// for ever.

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace vek {
namespace devsim {

// The requests a detector tells apart.
enum class RequestKind {
    Any,              // only in selectors: every request
    Ping,             // command 127, payload 00 (application or bootloader)
    EnterBootloader,  // type 3, command 28
    Identify,         // type 4, command 126
    Page,             // type 4, command 127 with an operation sequence
    Restart,          // type 4, command 127, payload 07
    Other,            // any other command
};

const char* requestKindName(RequestKind kind);

// Which answers a rule applies to.
struct AnswerSelector {
    RequestKind kind = RequestKind::Any;
    int page = -1;  // for RequestKind::Page: the page index, -1 = every page

    bool matches(RequestKind requestKind, int requestPage) const;
    // "any", "ping", "enter", "identify", "restart", "page" or "page:N";
    // throws std::invalid_argument naming the text otherwise.
    static AnswerSelector parse(const std::string& text);
    std::string toString() const;
};

// A fault aimed at selected answers: value is its parameter (a device code,
// a delay in milliseconds), times how often it fires (-1: every time).
struct FaultRule {
    AnswerSelector selector;
    int value = 0;
    int times = -1;

    // Consumes one firing when the rule applies to the request.
    bool fire(RequestKind kind, int page);
};

class FaultPlan {
public:
    // The block test of the page fails the given number of times: programming
    // that page writes a damaged copy of the page buffer, so the test finds a
    // real difference and the flash holds wrong data until a later program.
    FaultPlan& failBlockTest(int page, int times = 1);
    // The device takes requests but never answers.
    FaultPlan& silent(bool on = true);
    // The application acknowledges the enter-bootloader request but keeps
    // running.
    FaultPlan& stayInApplication(bool on = true);
    // Selected requests are not carried out; an error answer with the code
    // comes back instead.
    FaultPlan& errorAnswer(AnswerSelector selector, std::uint8_t code, int times = -1);
    // Selected answers leave with damaged check bytes.
    FaultPlan& corruptCheck(AnswerSelector selector, int times = -1);
    // Selected answers leave the milliseconds later.
    FaultPlan& delayAnswers(AnswerSelector selector, int milliseconds, int times = -1);
    // Once the transfer of the page (index from 0) has been answered, the
    // line hangs up as the next request arrives; that request is not answered.
    FaultPlan& hangUpAfterPage(int page);
    // Every answer is preceded by this many noise bytes.
    FaultPlan& garbageBeforeAnswers(int count);

    // Rule texts as the command line takes them (see parseRule).
    FaultPlan& failBlockTest(const std::string& text);
    FaultPlan& errorAnswer(const std::string& text);
    FaultPlan& corruptCheck(const std::string& text);
    FaultPlan& delayAnswers(const std::string& text);

    bool isSilent() const { return silent_; }
    bool staysInApplication() const { return stayInApplication_; }
    int hangUpPage() const { return hangUpPage_; }
    int garbageCount() const { return garbageCount_; }

    // Consumes one planned block-test failure of the page; false when none is
    // left.
    bool takeBlockTestFailure(int page);
    // The error code for the request, or -1 when no rule fires.
    int takeErrorAnswer(RequestKind kind, int page);
    bool takeCorruptCheck(RequestKind kind, int page);
    // Total delay in milliseconds of all delay rules that fire.
    int takeDelay(RequestKind kind, int page);

    // A human-readable list of the active faults, empty when there are none.
    std::vector<std::string> describe() const;

private:
    std::map<int, int> blockTestFailures_;  // page -> failures left
    bool silent_ = false;
    bool stayInApplication_ = false;
    std::vector<FaultRule> errorAnswers_;
    std::vector<FaultRule> corruptChecks_;
    std::vector<FaultRule> delays_;
    int hangUpPage_ = -1;
    int garbageCount_ = 0;
};

// Parses "SELECTOR[=VALUE][,TIMES]". needValue: VALUE is required (and the
// selector may be left out, meaning "any", when the text starts with a
// digit); otherwise it must be absent. Throws std::invalid_argument with a
// message that names the text.
FaultRule parseRule(const std::string& text, bool needValue);

}  // namespace devsim
}  // namespace vek
