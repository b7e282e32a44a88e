#include "room/anchor_sign.h"

#include <cstdio>
#include <random>

#include "core/log.h"
#include "core/service_hosts.h"
#include "core/sign.h"
#include "core/url_encode.h"
#include "net/service_answer.h"
#include "platform/kitlib/kitlib.h"
#include "room/typed_command.h"

using namespace anchor_sign;

namespace {

constexpr const char* kSignButton = "bnt_sign";
constexpr const char* kCardButton = "bnt_card";
constexpr const char* kCountdownText = "text_sign";
constexpr const char* kClockInRoute = "userclockin";
constexpr const char* kSignInRoute = "usersignin";
// A draw that never lands in range (a broken generator) must not hang the
// room: after this many the middle of the range is taken.
constexpr int kMaxDraws = 100000;

enum class Outcome { failed, refused, succeeded };

// The service's answer: null record or undecryptable bytes fail, an error
// text refuses (with the text), a first item with result 0 succeeds.
Outcome ReadAnswer(const WindowMessage& m, std::string& error) {
    const auto* a = m.As<KitlibAnswer>();
    if (!a) return Outcome::failed;
    msg::ServiceAnswer answer;
    if (!msg::DecodeServiceAnswer(a->bytes.data(), a->bytes.size(), true, answer))
        return Outcome::failed;
    if (!answer.error.empty()) {
        error = answer.error;
        return Outcome::refused;
    }
    return msg::ServiceAnswerSucceeded(answer) ? Outcome::succeeded : Outcome::failed;
}

// An unseeded rand() gives every start the same waits: a prompt one could
// learn by heart. Seeded once per process instead.
int SeededDraw() {
    static std::mt19937 engine{std::random_device{}()};
    return static_cast<int>(engine() & 0x7fffffff);
}

}  // namespace

int anchor_sign::DrawWaitSeconds(const std::function<int()>& draw) {
    for (int i = 0; i < kMaxDraws; ++i) {
        const int raw = draw ? draw() : SeededDraw();
        const int r = ((raw % kCycleSeconds) + kCycleSeconds) % kCycleSeconds;
        if (r >= kMinWaitSeconds && r <= kMaxWaitSeconds) return r;
    }
    return (kMinWaitSeconds + kMaxWaitSeconds) / 2;
}

std::string anchor_sign::ServiceUrl(const std::string& route, std::uint32_t userId,
                                    std::uint32_t roomId, const std::string& nickname) {
    const ServiceHosts hosts = GetServiceHosts();
    std::string url = "http://" + hosts.host + ":" + std::to_string(hosts.checkin) + "/" + route +
                      "?kampoId=" + std::to_string(userId) + "&roomId=" + std::to_string(roomId) +
                      "&nickname=" + url::PercentEncode(nickname);
    if (url.size() > kMaxUrl) return {};
    return url;
}

CAnchorSign::CAnchorSign(CRoomSession& session, IHttpStarter& http, DrawFn draw)
    : session_(session), http_(http), draw_(std::move(draw)) {
    session_.AddFeature(this);
}

CAnchorSign::~CAnchorSign() {
    session_.RemoveFeature(this);
    if (promptActive_) session_.view().CloseSignDialog();
}

bool CAnchorSign::IsAnchor() const {
    return session_.loggedIn() && session_.myRole() == kAnchorRole;
}

// ---- role and room ----

void CAnchorSign::Evaluate() {
    const bool anchor = IsAnchor();
    IRoomView& v = session_.view();
    v.SetVisible(kSignButton, anchor);
    v.SetVisible(kCardButton, anchor);
    v.SetVisible(kCountdownText, anchor);
    if (!anchor) {
        Stop();
        return;
    }
    if (!promptActive_) v.SetEnabled(kSignButton, false);
    if (!cycleRunning_) ResumeCycle();
}

void CAnchorSign::Stop() {
    ITimerHost& t = session_.timers();
    t.KillTimer(kCycleTimer);
    t.KillTimer(kPromptTimer);
    t.KillTimer(kCountdownTimer);
    cycleRunning_ = false;
    cycleRearm_ = false;
    if (promptActive_) {
        promptActive_ = false;
        counter_ = 0;
        session_.view().CloseSignDialog();
    }
    session_.view().SetEnabled(kSignButton, false);
    session_.view().SetText(kCountdownText, "");
}

void CAnchorSign::OnLoggedIn() { Evaluate(); }

void CAnchorSign::OnRoleChanged(std::uint32_t userId) {
    if (userId == session_.myUserId()) Evaluate();
}

void CAnchorSign::OnRoomCleared() {
    // Leaving or switching rooms: the next room's login resumes the cycle
    // from sign.dat.
    Stop();
}

// A cycle stored by an earlier clock-in goes on: the cycle timer for the
// rest of its 20 minutes, and the prompt when it is still ahead.
void CAnchorSign::ResumeCycle() {
    const SignRecord rec = LoadSign(session_.myUserId());
    if (rec.cycleStart <= 0) return;
    const std::int64_t elapsed = static_cast<std::int64_t>(session_.clock().Now()) - rec.cycleStart;
    // A start in the future is a record from a clock that went back: not ours to trust.
    if (elapsed < 0 || elapsed >= kCycleSeconds) return;
    ITimerHost& t = session_.timers();
    t.SetTimer(kCycleTimer, static_cast<unsigned>(kCycleSeconds - elapsed) * 1000u);
    cycleRearm_ = true;
    cycleRunning_ = true;
    waitSeconds_ = rec.value;
    const bool validWait = rec.value >= kMinWaitSeconds && rec.value <= kMaxWaitSeconds;
    if (validWait && rec.value > elapsed && rec.lastSignIn < rec.cycleStart)
        t.SetTimer(kPromptTimer, static_cast<unsigned>(rec.value - elapsed) * 1000u);
    log_msg("sign cycle resumed, %lld s in\r\n", static_cast<long long>(elapsed));
}

// ---- timers ----

void CAnchorSign::StartPromptWait() {
    waitSeconds_ = DrawWaitSeconds(draw_);
    log_msg("sign wait time=%d s\r\n", waitSeconds_);
    session_.timers().SetTimer(kPromptTimer, static_cast<unsigned>(waitSeconds_) * 1000u);
    SaveSign(session_.myUserId(), waitSeconds_, false, session_.clock().Now());
}

void CAnchorSign::OnTimer(unsigned id) {
    switch (id) {
        case kCycleTimer:
            if (!IsAnchor()) {
                Stop();
                return;
            }
            if (cycleRearm_) {
                cycleRearm_ = false;
                session_.timers().SetTimer(kCycleTimer, kCycleMs);
            }
            StartPromptWait();
            break;
        case kPromptTimer:
            OnPromptDue();
            break;
        case kCountdownTimer:
            OnCountdownTick();
            break;
        default:
            break;
    }
}

void CAnchorSign::OnPromptDue() {
    ITimerHost& t = session_.timers();
    t.KillTimer(kPromptTimer);
    if (!IsAnchor()) return;
    t.SetTimer(kCountdownTimer, 1000);
    promptActive_ = true;
    counter_ = 0;
    IRoomView& v = session_.view();
    v.SetEnabled(kSignButton, true);
    v.SetText(kCountdownText, std::to_string(kCountdownSeconds) + "s");
    if (!v.SignDialogOpen()) v.OpenSignDialog([this] { ConfirmPrompt(); });
}

void CAnchorSign::ConfirmPrompt() {
    if (SignIn(true) != Result::sent) {
        session_.view().ShowTip("签到失败");
        log_msg(" sign --fail \r\n");
    }
}

void CAnchorSign::OnCountdownTick() {
    if (!promptActive_) {
        session_.timers().KillTimer(kCountdownTimer);
        return;
    }
    ++counter_;
    if (counter_ < kCountdownSeconds) {
        char text[16];
        std::snprintf(text, sizeof text, "%ds", kCountdownSeconds - counter_);
        session_.view().SetText(kCountdownText, text);
        return;
    }
    EndPrompt();
    log_msg(" sign timeout --0 \r\n");
}

// The prompt is over (signed in, or timed out): button off, countdown gone.
void CAnchorSign::EndPrompt() {
    IRoomView& v = session_.view();
    v.SetEnabled(kSignButton, false);
    v.SetText(kCountdownText, "");
    counter_ = 0;
    promptActive_ = false;
    session_.timers().KillTimer(kCountdownTimer);
    if (v.SignDialogOpen()) v.CloseSignDialog();
}

// ---- requests ----

bool CAnchorSign::Post(const char* route, unsigned message) {
    const std::string url =
        ServiceUrl(route, session_.myUserId(), session_.roomId(), session_.me().nickname);
    if (url.empty()) return false;
    return http_.Post(message, url, {});
}

CAnchorSign::Result CAnchorSign::ClockIn() {
    if (!IsAnchor()) return Result::not_anchor;
    if (!Post(kClockInRoute, UM_CLOCK_IN_DONE)) {
        session_.view().ShowTip("打卡失败");
        log_msg("card fail \r\n");
        return Result::not_started;
    }
    return Result::sent;
}

CAnchorSign::Result CAnchorSign::SignIn(bool fromDialog) {
    if (!IsAnchor()) return Result::not_anchor;
    if (!Post(kSignInRoute, UM_SIGN_IN_DONE)) {
        // The dialog's caller says so itself, in its own words.
        if (!fromDialog) {
            session_.view().ShowTip("签到失败");
            log_msg("sign fail \r\n");
        }
        return Result::not_started;
    }
    return Result::sent;
}

bool CAnchorSign::OnWindowMessage(const WindowMessage& m) {
    if (m.msg == UM_CLOCK_IN_DONE) OnClockInAnswer(m);
    else if (m.msg == UM_SIGN_IN_DONE) OnSignInAnswer(m);
    else return false;
    return true;
}

void CAnchorSign::OnClockInAnswer(const WindowMessage& m) {
    std::string error;
    const Outcome o = ReadAnswer(m, error);
    IRoomView& v = session_.view();
    if (o == Outcome::refused) {
        v.ShowTip("打开失败:" + error);
        return;
    }
    if (o == Outcome::failed) {
        v.ShowTip("打卡失败");
        return;
    }
    // An answer that arrives after I stopped being the anchor starts nothing.
    if (!cycleRunning_ && IsAnchor()) {
        session_.timers().SetTimer(kCycleTimer, kCycleMs);
        cycleRearm_ = false;
        StartPromptWait();
        cycleRunning_ = true;
        log_msg("start wait sign\r\n");
    }
    v.ShowTip("打卡成功");
}

void CAnchorSign::OnSignInAnswer(const WindowMessage& m) {
    std::string error;
    const Outcome o = ReadAnswer(m, error);
    IRoomView& v = session_.view();
    if (o == Outcome::refused) {
        v.ShowTip("签到失败:" + error);
        return;
    }
    if (o == Outcome::failed) {
        v.ShowTip("签到失败");
        return;
    }
    EndPrompt();
    SaveSign(session_.myUserId(), 0, true, session_.clock().Now());
    log_msg("sign succeed \r\n");
    v.ShowTip("签到成功");
}

// ---- typed ----

bool CAnchorSign::OnTypedCommand(const std::string& line) {
    const typed::Line t = typed::Split(line);
    const bool card = t.word == "/card";
    if (!card && t.word != "/sign") return false;
    if (!t.args.empty()) {
        session_.view().ShowTip(card ? "usage: /card" : "usage: /sign");
        return true;
    }
    // The controls are only there for the anchor role.
    if (!IsAnchor()) {
        session_.view().ShowTip("无权限!");
        return true;
    }
    if (card) {
        ClockIn();
    } else if (session_.view().SignDialogOpen()) {
        // Answering the prompt headless is confirming it.
        session_.view().CloseSignDialog();
        ConfirmPrompt();
    } else {
        SignIn();
    }
    return true;
}
