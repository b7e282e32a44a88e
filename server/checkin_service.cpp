#include "server/checkin_service.h"

#include "core/log.h"
#include "server/checkin_cycle.h"
#include "server/service_reply.h"

namespace server {

using service_reply::Refuse;

void CCheckinService::Check(const HttpRequest& req, HttpResponse& res, CheckinKind kind) {
    constexpr bool kSealed = true;
    const std::uint32_t user = service_reply::Caller(db_, clock_, req, res, kSealed);
    if (!user) return;
    const std::uint32_t kampo = service_reply::QueryId(req.Param("kampoId"));
    const std::uint32_t room = service_reply::QueryId(req.Param("roomId"));
    if (!kampo || !room) return Refuse(res, "请求参数错误", kSealed);
    if (kampo != user) return Refuse(res, "不能替别人打卡或签到", kSealed);
    if (!db_.RoomById(room)) return Refuse(res, "房间不存在", kSealed);
    const std::int64_t now = clock_.Now();
    if (db_.RoomRole(room, user, now) != kRoleAnchor)
        return Refuse(res, "只有本房间的主播才能打卡和签到", kSealed);
    const auto account = db_.UserById(user);
    if (!account) return Refuse(res, "用户不存在", kSealed);
    const std::string nickname = account->nickname.empty() ? account->name : account->nickname;

    // Judged and recorded in one transaction: two requests at once cannot
    // both start a duty or both sign one cycle.
    enum class Outcome { recorded, already, no_cycle, failed } outcome = Outcome::failed;
    std::int64_t cycle = 0;
    db_.InTransaction([&] {
        CheckinDuty duty;
        duty.clockIn = db_.LatestClockIn(room, user);
        if (duty.clockIn) duty.signedCycles = db_.SignedCycles(room, user, *duty.clockIn);
        bool record = true;
        if (kind == CheckinKind::clock_in) {
            // Clocking in again while on duty changes nothing.
            const auto live = LiveCycle(duty, now);
            record = !live;
            cycle = live ? *live : now;
        } else {
            const SignInVerdict v = JudgeSignIn(duty, now);
            if (!v.accepted) {
                outcome = Outcome::no_cycle;
                return false;
            }
            record = v.record;
            cycle = v.cycleStart;
        }
        if (!record) {
            outcome = Outcome::already;
            return true;
        }
        if (!db_.AddCheckin({room, user, nickname, kind, now, cycle})) return false;
        outcome = Outcome::recorded;
        return true;
    });
    const char* what = kind == CheckinKind::clock_in ? "clock-in" : "sign-in";
    switch (outcome) {
        case Outcome::recorded:
            log_msg("check-in: %s of %u in room %u, cycle from %lld", what, user, room,
                    static_cast<long long>(cycle));
            break;
        case Outcome::already:
            break;
        case Outcome::no_cycle:
            return Refuse(res, "没有进行中的打卡周期，请先打卡", kSealed);
        case Outcome::failed:
            log_err("check-in: %s of %u in room %u not recorded: %s", what, user, room,
                    db_.lastError().c_str());
            return Refuse(res, "服务器内部错误", kSealed);
    }
    msg::ServiceAnswer a;
    a.items.push_back(service_reply::Item(0, nickname));
    service_reply::Send(res, a, kSealed);
}

void CCheckinService::Mount(CHttpServer& s) {
    s.Route("POST", "/userclockin", [this](const HttpRequest& req, HttpResponse& res) {
        Check(req, res, CheckinKind::clock_in);
    });
    s.Route("POST", "/usersignin", [this](const HttpRequest& req, HttpResponse& res) {
        Check(req, res, CheckinKind::sign_in);
    });
}

}  // namespace server
