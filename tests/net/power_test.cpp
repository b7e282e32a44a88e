// Power checks over the downloaded table.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>

#include "core/log.h"
#include "core/paths.h"
#include "net/json.h"
#include "net/power.h"

namespace {

// A power-list answer whose "power" member is the JSON text of the rules.
std::string Answer(const std::string& rules, int code = 0) {
    json::value obj = json::value::object();
    obj.set("power", rules);
    json::value a = json::value::object();
    a.set("CMD", std::int64_t{kPowerListAnswer});
    a.set("CODE", std::int64_t{code});
    a.set("ERROR", "no");
    a.set("OBJ", obj);
    return a.dump();
}

TEST(Power, GeneralRuleAndByRoleOverride) {
    CPowerTable t;
    t.AddRule(power_id::gag, 3, 1, 0);
    EXPECT_TRUE(t.HasPower(3, power_id::gag));
    EXPECT_TRUE(t.HasPowerOver(3, 1, power_id::gag)) << "falls back to the general rule";
    EXPECT_TRUE(t.HasPowerOver(3, 7, power_id::gag));

    t.AddRule(power_id::gag, 3, 0, 7);
    EXPECT_FALSE(t.HasPowerOver(3, 7, power_id::gag));
    EXPECT_TRUE(t.HasPowerOver(3, 6, power_id::gag));
    EXPECT_TRUE(t.HasPower(3, power_id::gag));

    // An over-rule alone grants nothing in general.
    t.AddRule(power_id::kick, 4, 1, 2);
    EXPECT_FALSE(t.HasPower(4, power_id::kick));
    EXPECT_TRUE(t.HasPowerOver(4, 2, power_id::kick));
    EXPECT_FALSE(t.HasPowerOver(4, 3, power_id::kick));
}

TEST(Power, DenialsAndUnknowns) {
    CPowerTable t;
    t.AddRule(power_id::chat, 1, 0, 0);
    t.AddRule(power_id::chat, 2, -1, 0);
    t.AddRule(power_id::chat, 3, 1, 0);
    EXPECT_FALSE(t.HasPower(1, power_id::chat));
    EXPECT_FALSE(t.HasPower(2, power_id::chat)) << "negative means no";
    EXPECT_TRUE(t.HasPower(3, power_id::chat));
    EXPECT_FALSE(t.HasPower(9, power_id::chat)) << "a role absent from the list holds nothing";
    EXPECT_FALSE(t.HasPower(3, power_id::open_mic)) << "an unknown power";
    EXPECT_FALSE(t.HasPowerOver(9, 1, power_id::chat));
    // A later rule for the same triple replaces the earlier one.
    t.AddRule(power_id::chat, 3, 0, 0);
    EXPECT_FALSE(t.HasPower(3, power_id::chat));
}

// Everything the day's log holds so far.
std::string LogText() {
    std::string all;
    const std::filesystem::path folder = paths::DataFolder() + "log/";
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(folder, ec)) {
        std::ifstream in(entry.path());
        std::stringstream text;
        text << in.rdbuf();
        all += text.str();
    }
    return all;
}

// A data folder, and so a log, of the test's own: a line from an earlier run
// cannot pass for one written now.
class OwnLog {
public:
    OwnLog() {
        dir_ = (std::filesystem::temp_directory_path() / "zeri-power-XXXXXX").string();
        if (!::mkdtemp(dir_.data())) throw std::runtime_error("mkdtemp failed");
        paths::SetDataFolderOverride(dir_ + "/");
        log_reset();
    }
    ~OwnLog() {
        log_reset();
        paths::SetDataFolderOverride("");
        std::error_code ec;
        std::filesystem::remove_all(dir_, ec);
    }

private:
    std::string dir_;
};

TEST(Power, LoadingAList) {
    OwnLog log;
    CPowerTable t;
    testing::internal::CaptureStdout();
    ASSERT_TRUE(OnPowerListAnswer(
        t, Answer(R"([{"powerid":5,"role":3,"by_role":0,"yes_no":1},
                      {"POWERID":5,"Role":3,"By_Role":7,"Yes_No":0},
                      {"powerid":19,"role":3,"by_role":0,"yes_no":300},
                      {"powerid":26,"role":3,"by_role":0,"yes_no":-2}])")));
    // Each rule is a log line; standard output belongs to the headless view.
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_NE(LogText().find("PowerList  powerid=5, role=3, by_role=7, yes_no=0"),
              std::string::npos);
    EXPECT_TRUE(t.HasPowerOver(3, 1, power_id::gag));
    EXPECT_FALSE(t.HasPowerOver(3, 7, power_id::gag));
    EXPECT_TRUE(t.HasPower(3, power_id::open_mic)) << "a large yes_no still allows";
    EXPECT_FALSE(t.HasPower(3, power_id::chat));

    // A new list replaces the whole table.
    ASSERT_TRUE(OnPowerListAnswer(t, Answer(R"([{"powerid":26,"role":3,"by_role":0,"yes_no":1}])")));
    EXPECT_TRUE(t.HasPower(3, power_id::chat));
    EXPECT_FALSE(t.HasPower(3, power_id::gag));
}

TEST(Power, FailedOrEmptyAnswersKeepTheTable) {
    CPowerTable t;
    t.AddRule(power_id::chat, 3, 1, 0);
    EXPECT_FALSE(OnPowerListAnswer(t, Answer("[]", 5))) << "CODE non-zero";
    EXPECT_FALSE(OnPowerListAnswer(t, Answer(""))) << "empty power text";
    EXPECT_FALSE(OnPowerListAnswer(t, R"({"CMD":31008,"CODE":0,"OBJ":{"power":[1]}})"))
        << "power of another type counts as empty";
    EXPECT_FALSE(OnPowerListAnswer(t, R"({"CMD":31008,"CODE":0})")) << "no OBJ";
    EXPECT_FALSE(OnPowerListAnswer(t, R"({"CMD":31009,"CODE":0,"OBJ":{"power":"[]"}})"))
        << "another command";
    EXPECT_FALSE(OnPowerListAnswer(t, "not json"));
    EXPECT_TRUE(t.HasPower(3, power_id::chat));
}

TEST(Power, RefusedAnswerIsLogged) {
    CPowerTable t;
    json::value a = json::value::parse(R"({"CMD":31008,"CODE":3,"ERROR":"令牌失效 7731"})");
    EXPECT_FALSE(t.LoadPowerList(a));
    EXPECT_NE(LogText().find("OnTLVCommand_Get_PowerList_Resp error mgs=令牌失效 7731"),
              std::string::npos);
}

TEST(Power, UnparsableListClearsTheTable) {
    CPowerTable t;
    t.AddRule(power_id::chat, 3, 1, 0);
    EXPECT_TRUE(OnPowerListAnswer(t, Answer("[{\"powerid\":")));
    EXPECT_TRUE(t.Empty());
    EXPECT_FALSE(t.HasPower(3, power_id::chat));
}

TEST(Power, RequestBody) {
    const json::value v = json::value::parse(PowerListRequest(1001, "tok"));
    EXPECT_EQ(v.get_int("CMD"), 30008);
    EXPECT_EQ(v.get_object("OBJ").get_int("userId"), 1001);
    EXPECT_EQ(v.get_object("OBJ").get_string("token"), "tok");
}

}  // namespace
