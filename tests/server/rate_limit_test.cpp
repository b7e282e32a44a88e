// Token buckets and the server's flags.
#include <gtest/gtest.h>

#include "server/rate_limit.h"
#include "server/server_app.h"

using server::CRateLimiter;

TEST(ServerRateLimit, BurstThenSteadyRatePerKey) {
    CRateLimiter rl(10, 5);  // 10 per second, 5 at once
    int allowed = 0;
    for (int i = 0; i < 20; ++i) allowed += rl.Allow(1, 1000);
    EXPECT_EQ(allowed, 5);
    EXPECT_TRUE(rl.Allow(2, 1000));  // another key has its own bucket
    EXPECT_FALSE(rl.Allow(1, 1099));  // 0.99 of a token
    EXPECT_TRUE(rl.Allow(1, 1100));
    EXPECT_FALSE(rl.Allow(1, 1100));
    // A long pause fills the bucket to the burst, not beyond.
    allowed = 0;
    for (int i = 0; i < 20; ++i) allowed += rl.Allow(1, 60000);
    EXPECT_EQ(allowed, 5);
}

TEST(ServerRateLimit, TickWrapAndPruningKeepBudgets) {
    CRateLimiter rl(10, 2);
    const std::uint32_t nearWrap = 0xFFFFFF00u;
    EXPECT_TRUE(rl.Allow(7, nearWrap));
    EXPECT_TRUE(rl.Allow(7, nearWrap));
    EXPECT_FALSE(rl.Allow(7, nearWrap));
    // 0x100 ms later, across the wrap: 2.56 tokens refilled, capped at 2.
    EXPECT_TRUE(rl.Allow(7, 0x00000000u));
    EXPECT_TRUE(rl.Allow(7, 0x00000000u));
    EXPECT_FALSE(rl.Allow(7, 0x00000000u));

    // Buckets that have filled up again are pruned; key 7, still short, keeps
    // its debt (a fresh bucket would allow two).
    for (std::uint64_t k = 100; k < 100 + CRateLimiter::kPruneAbove; ++k) rl.Allow(k, 0);
    EXPECT_GE(rl.size(), CRateLimiter::kPruneAbove);
    EXPECT_TRUE(rl.Allow(99999, 100));  // 100 ms: the others are full again
    EXPECT_LE(rl.size(), 3u);
    EXPECT_TRUE(rl.Allow(7, 100));
    EXPECT_FALSE(rl.Allow(7, 100));
}

TEST(ServerOptions, DefaultsFlagsAndErrors) {
    server::ServerOptions o;
    std::string err;
    ASSERT_TRUE(server::ParseServerOptions({}, o, err));
    EXPECT_EQ(o.listen, "0.0.0.0");
    EXPECT_EQ(o.port, 6666);
    EXPECT_EQ(o.cataloguePort, 8000);
    EXPECT_FALSE(o.seedDemo);

    ASSERT_TRUE(server::ParseServerOptions({"--data-dir", "/tmp/d", "--listen", "127.0.0.1",
                                            "--port", "7000", "--seed-demo", "--threads", "3",
                                            "--issue-token", "alice", "--token-days", "2",
                                            "--catalogue-port", "0"},
                                           o, err))
        << err;
    EXPECT_EQ(o.dataDir, "/tmp/d");
    EXPECT_EQ(o.listen, "127.0.0.1");
    EXPECT_EQ(o.port, 7000);
    EXPECT_TRUE(o.seedDemo);
    EXPECT_EQ(o.threads, 3u);
    EXPECT_EQ(o.issueTokenFor, "alice");
    EXPECT_EQ(o.tokenDays, 2u);
    EXPECT_EQ(o.cataloguePort, 0);

    const std::vector<std::vector<std::string>> bad = {
        {"--port"}, {"--port", "65536"}, {"--port", "-1"}, {"--port", "80x"},
        {"--threads", "0"}, {"--token-days", "0"}, {"--data-dir"}, {"--what"},
        {"--issue-token", ""}, {"--catalogue-port", "65536"}, {"--catalogue-port"}};
    for (const auto& args : bad) {
        server::ServerOptions x;
        err.clear();
        EXPECT_FALSE(server::ParseServerOptions(args, x, err)) << args[0];
        EXPECT_FALSE(err.empty());
    }
}
