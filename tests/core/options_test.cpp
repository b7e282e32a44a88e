// Client flags.
#include <gtest/gtest.h>

#include "core/options.h"

TEST(Options, ReadsEveryFlagAndKeepsDefaults) {
    ClientOptions o;
    std::string err;
    ASSERT_TRUE(ParseClientOptions({"--user", "ann", "--password", "pw", "--room", "1001",
                                    "--headless", "--data-dir", "/tmp/z"},
                                   o, err));
    EXPECT_EQ(o.server, "127.0.0.1");
    EXPECT_EQ(o.user, "ann");
    EXPECT_EQ(o.password, "pw");
    EXPECT_EQ(o.room, 1001u);
    EXPECT_TRUE(o.headless);
    EXPECT_EQ(o.dataDir, "/tmp/z");
}

TEST(Options, RefusesBadInputWithAReason) {
    ClientOptions o;
    std::string err;
    EXPECT_FALSE(ParseClientOptions({"--room", "12x"}, o, err));
    EXPECT_NE(err.find("12x"), std::string::npos);
    EXPECT_FALSE(ParseClientOptions({"--room", "-4"}, o, err));
    EXPECT_FALSE(ParseClientOptions({"--room", "99999999999"}, o, err));
    EXPECT_FALSE(ParseClientOptions({"--server"}, o, err));
    EXPECT_EQ(err, "--server needs a value");
    EXPECT_FALSE(ParseClientOptions({"--bogus"}, o, err));
    EXPECT_EQ(err, "unknown option '--bogus'");
}
