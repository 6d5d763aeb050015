#include "platform/system/DrmFdinfo.h"

#include <gtest/gtest.h>

namespace {

TEST(DrmFdinfo, ReadsTheClientAndItsEngineCounters) {
    auto i915 = sys::parseDrmFdinfo("pos:\t0\nflags:\t02100002\ndrm-driver:\ti915\n"
                                    "drm-client-id:\t17\ndrm-pdev:\t0000:00:02.0\n"
                                    "drm-total-system0:\t73728 KiB\n"
                                    "drm-engine-render:\t52318000000 ns\n"
                                    "drm-engine-capacity-video:\t2\n"
                                    "drm-engine-video:\t3000000000 ns\n");
    ASSERT_TRUE(i915);
    EXPECT_EQ(i915->driver, "i915");
    EXPECT_EQ(i915->clientID, "17");
    EXPECT_EQ(i915->pdev, "0000:00:02.0");
    EXPECT_EQ(i915->engineNanoseconds, (std::map<std::string, std::uint64_t, std::less<>>{
                                           {"render", 52'318'000'000}, {"video", 3'000'000'000}}));
    EXPECT_EQ(i915->engineCapacity.at("video"), 2u) << "a capacity is not an engine";

    auto xe = sys::parseDrmFdinfo("drm-driver:\txe\ndrm-client-id:\t41\n"
                                  "drm-cycles-rcs:\t28257900\ndrm-total-cycles-rcs:\t7655183225\n");
    ASSERT_TRUE(xe);
    EXPECT_EQ(xe->engineCycles.at("rcs"), 28'257'900u);
    EXPECT_EQ(xe->engineTotalCycles.at("rcs"), 7'655'183'225u);
    EXPECT_TRUE(xe->pdev.empty());
}

TEST(DrmFdinfo, OtherFilesAndBadValuesGiveNothingOrArePassedOver) {
    EXPECT_FALSE(sys::parseDrmFdinfo("pos:\t0\nflags:\t02\nmnt_id:\t15\nino:\t912\n"))
        << "a file that is no DRM client";
    EXPECT_FALSE(sys::parseDrmFdinfo("drm-driver:\tvirtio_gpu\n")) << "no client id";
    EXPECT_FALSE(sys::parseDrmFdinfo("drm-client-id:\t3\n")) << "no driver";
    EXPECT_FALSE(sys::parseDrmFdinfo(""));

    auto odd = sys::parseDrmFdinfo("drm-driver:\ti915\ndrm-driver:\tother\ndrm-client-id:\t5\n"
                                   "drm-engine-render:\tlots ns\ndrm-engine-copy:\t-3 ns\n"
                                   "drm-engine-video:\t12ns\ndrm-engine-:\t7 ns\n"
                                   "drm-engine-blit:\t99999999999999999999999 ns\n"
                                   "drm-engine-vecs:\t40 ns\ndrm-engine-vecs:\t50 ns\nno colon\n");
    ASSERT_TRUE(odd);
    EXPECT_EQ(odd->driver, "i915") << "the first of repeated keys";
    EXPECT_EQ(odd->engineNanoseconds,
              (std::map<std::string, std::uint64_t, std::less<>>{{"vecs", 40}}));
}

} // namespace
