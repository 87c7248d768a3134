// ClientAddressTest.cpp -- whose address a request counts as, the key its
// limits use, and how often a refused address is logged.
#include <gtest/gtest.h>

#include "ClientAddress.h"

namespace {

TEST(ClientAddressTest, OnlyATrustedProxysLastHopNamesTheClient) {
  const std::vector<std::string> proxies = {"127.0.0.1", "2001:db8::1"};
  // From the proxy: its last hop (what it saw), not what the sender wrote before.
  EXPECT_EQ(ClientAddress("127.0.0.1", "6.6.6.6, 203.0.113.7", proxies), "203.0.113.7");
  EXPECT_EQ(ClientAddress("127.0.0.1", "203.0.113.7", proxies), "203.0.113.7");
  EXPECT_EQ(ClientAddress("127.0.0.1", "1.1.1.1, 6.6.6.6, 203.0.113.8", proxies), "203.0.113.8");
  EXPECT_EQ(ClientAddress("::ffff:127.0.0.1", " 6.6.6.6 ,\t2001:DB8:0:0::5 ", proxies), "2001:db8::5");
  EXPECT_EQ(ClientAddress("2001:db8:0::1", "198.51.100.2", proxies), "198.51.100.2");
  // From anyone else the header means nothing.
  EXPECT_EQ(ClientAddress("198.51.100.9", "203.0.113.7", proxies), "198.51.100.9");
  EXPECT_EQ(ClientAddress("198.51.100.9", "203.0.113.7", {}), "198.51.100.9");
  // A last hop that is no address, or none: the proxy itself.
  EXPECT_EQ(ClientAddress("127.0.0.1", "203.0.113.7, unknown", proxies), "127.0.0.1");
  EXPECT_EQ(ClientAddress("127.0.0.1", "203.0.113.7,", proxies), "127.0.0.1");
  EXPECT_EQ(ClientAddress("127.0.0.1", "", proxies), "127.0.0.1");
  EXPECT_EQ(ClientAddress("::ffff:192.0.2.4", "", proxies), "192.0.2.4");
}

TEST(ClientAddressTest, IPv6IsLimitedPerSlash64AndIPv4PerAddress) {
  EXPECT_EQ(LimitKey("2001:db8:1:2:aaaa:bbbb:cccc:dddd"), "2001:db8:1:2::/64");
  EXPECT_EQ(LimitKey("2001:db8:1:2::1"), LimitKey("2001:db8:1:2:ffff::9"));
  EXPECT_NE(LimitKey("2001:db8:1:2::1"), LimitKey("2001:db8:1:3::1"));
  EXPECT_EQ(LimitKey("198.51.100.9"), "198.51.100.9");
  EXPECT_NE(LimitKey("198.51.100.9"), LimitKey("198.51.100.10"));
  EXPECT_EQ(CanonicalAddress("::FFFF:10.0.0.1"), "10.0.0.1");
  EXPECT_EQ(CanonicalAddress("2001:0db8::0001"), "2001:db8::1");
  EXPECT_FALSE(CanonicalAddress("10.0.0"));
  EXPECT_FALSE(CanonicalAddress("example.org"));
}

TEST(ClientAddressTest, RefusalsAreLoggedOncePerKeyAndMinuteWithTheCountBetween) {
  TRefusalLog log;
  const auto t0 = TRefusalLog::TClock::time_point{} + std::chrono::hours(1);
  EXPECT_EQ(log.Note("a", t0), 0);
  for (int i = 1; i <= 40; ++i) EXPECT_FALSE(log.Note("a", t0 + std::chrono::seconds(i)));
  EXPECT_EQ(log.Note("b", t0 + std::chrono::seconds(30)), 0);  // every address has its own minute
  EXPECT_EQ(log.Note("a", t0 + std::chrono::seconds(61)), 40);
  EXPECT_FALSE(log.Note("a", t0 + std::chrono::seconds(62)));
  EXPECT_EQ(log.Note("a", t0 + std::chrono::seconds(200)), 1);
}

}  // namespace
