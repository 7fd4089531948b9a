// The built-in place list: lookup by the short and the long form,
// completion, and the table itself (every zone known to the system's tz
// database, China's places where China is).
#include <gtest/gtest.h>

#include <string>

#include "time_correction.h"

namespace timefix {
namespace {

TEST(FindPlace, TakesTheShortAndTheLongForm) {
  struct Lookup {
    const char* typed;
    const char* name;
    const char* zone;
  } const lookups[] = {
      {"乌鲁木齐", "乌鲁木齐", "Asia/Shanghai"},
      {"乌鲁木齐市", "乌鲁木齐", "Asia/Shanghai"},
      {" 喀什 ", "喀什", "Asia/Shanghai"},
      {"喀什地区", "喀什", "Asia/Shanghai"},
      {"克孜勒苏柯尔克孜自治州", "克孜勒苏", "Asia/Shanghai"},
      {"伊犁哈萨克自治州", "伊犁", "Asia/Shanghai"},
      {"锡林郭勒盟", "锡林郭勒", "Asia/Shanghai"},
      {"锡林郭勒", "锡林郭勒", "Asia/Shanghai"},
      {"哈尔滨", "哈尔滨", "Asia/Shanghai"},
      {"香港", "香港", "Asia/Hong_Kong"},
      {"香港特别行政区", "香港", "Asia/Hong_Kong"},
      {"澳门", "澳门", "Asia/Macau"},
      {"台北市", "台北", "Asia/Taipei"},
      {"高雄", "高雄", "Asia/Taipei"},
      {"新竹", "新竹", "Asia/Taipei"},
      {"新竹县", "新竹县", "Asia/Taipei"},
      {"纽约", "纽约", "America/New_York"},
      {"伦敦", "伦敦", "Europe/London"},
  };
  for (const Lookup& l : lookups) {
    const Place* p = FindPlace(l.typed);
    ASSERT_NE(p, nullptr) << l.typed;
    EXPECT_EQ(p->name, l.name) << l.typed;
    EXPECT_EQ(p->zone, l.zone) << l.typed;
  }
}

TEST(FindPlace, KnowsWhereThePlacesAre) {
  // Urumqi near 87.6°E 43.8°N, New York near 74.0°W 40.7°N, Taipei near
  // 121.5°E 25.0°N (the centre of the city's area).
  const Place* urumqi = FindPlace("乌鲁木齐");
  ASSERT_NE(urumqi, nullptr);
  EXPECT_NEAR(urumqi->longitude, 87.6, 0.1);
  EXPECT_NEAR(urumqi->latitude, 43.8, 0.1);
  EXPECT_EQ(urumqi->region, "新疆");
  const Place* newYork = FindPlace("纽约");
  ASSERT_NE(newYork, nullptr);
  EXPECT_NEAR(newYork->longitude, -74.0, 0.1);
  EXPECT_NEAR(newYork->latitude, 40.7, 0.1);
  EXPECT_EQ(newYork->region, "美国");
  const Place* taipei = FindPlace("台北");
  ASSERT_NE(taipei, nullptr);
  EXPECT_NEAR(taipei->longitude, 121.55, 0.1);
  EXPECT_NEAR(taipei->latitude, 25.05, 0.1);
}

TEST(FindPlace, UnknownPlacesAreNotFound) {
  for (const char* typed : {"", " ", "火星", "乌鲁", "市", "自治州", "乌鲁木齐县城", "Urumqi"})
    EXPECT_EQ(FindPlace(typed), nullptr) << typed;
}

TEST(CompletePlaces, OffersTheNamesThatBeginWithWhatWasTyped) {
  const auto urumqi = CompletePlaces("乌鲁", 10);
  ASSERT_FALSE(urumqi.empty());
  EXPECT_EQ(urumqi.front()->name, "乌鲁木齐");
  // The region and the name together.
  bool kashgar = false;
  for (const Place* p : CompletePlaces("新疆喀", 10)) kashgar = kashgar || p->name == "喀什";
  EXPECT_TRUE(kashgar);
  // A region alone lists its places; the limit is kept.
  const auto xinjiang = CompletePlaces("新疆", 5);
  EXPECT_EQ(xinjiang.size(), 5u);
  for (const Place* p : xinjiang) EXPECT_EQ(p->region, "新疆");
  // 吉林 the city first, then the province's other places.
  const auto jilin = CompletePlaces("吉林", 50);
  ASSERT_GT(jilin.size(), 5u);
  EXPECT_EQ(jilin.front()->name, "吉林");
  EXPECT_TRUE(CompletePlaces("火星", 10).empty());
  EXPECT_TRUE(CompletePlaces("", 10).empty());
  EXPECT_TRUE(CompletePlaces("乌", 0).empty());
}

TEST(Places, AreSortedUniqueAndInKnownZones) {
  const auto places = Places();
  ASSERT_GT(places.size(), 600u);
  int mainland = 0, taiwan = 0;
  for (std::size_t i = 0; i < places.size(); ++i) {
    const Place& p = places[i];
    if (i > 0) {
      EXPECT_LT(places[i - 1].name, p.name);
    }
    EXPECT_FALSE(p.name.empty());
    EXPECT_GE(p.longitude, -180.0);
    EXPECT_LE(p.longitude, 180.0);
    EXPECT_GE(p.latitude, -90.0);
    EXPECT_LE(p.latitude, 90.0);
    CorrectionInput in;
    in.clock = {2000, 1, 1, 12, 0, 0};
    in.correction = Correction::MeanSolar;
    in.longitude = p.longitude;
    in.zone = std::string(p.zone);
    EXPECT_EQ(Correct(in).status, CorrectionStatus::Ok) << p.name << " " << p.zone;
    if (p.zone == "Asia/Shanghai") {
      ++mainland;
      // Mainland China lies between 73°E and 135°E, 18°N and 54°N.
      EXPECT_GT(p.longitude, 73.0) << p.name;
      EXPECT_LT(p.longitude, 135.5) << p.name;
      EXPECT_GT(p.latitude, 18.0) << p.name;
      EXPECT_LT(p.latitude, 54.0) << p.name;
    }
    if (p.zone == "Asia/Taipei") ++taiwan;
  }
  // Every prefecture-level division of the mainland (about 340, with the
  // county-level cities the maps list beside them).
  EXPECT_GT(mainland, 330);
  EXPECT_GE(taiwan, 15);
}

}  // namespace
}  // namespace timefix
