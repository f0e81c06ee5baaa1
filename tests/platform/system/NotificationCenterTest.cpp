#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "platform/system/NotificationCenter.h"

namespace tintreel {
namespace {

TEST(NotificationCenter, DeliversByNameOnThePostingThreadUntilTheTokenGoes) {
    NotificationCenter center;
    std::vector<float> seen;
    std::thread::id deliveredOn;
    {
        ObserverToken token = center.addObserver("UpdateProgress", [&](const Notification& n) {
            deliveredOn = std::this_thread::get_id();
            seen.push_back(n.value<float>("progress").value_or(-1));
            EXPECT_FALSE(n.value<std::string>("progress").has_value());
        });
        center.post("UpdateProgress", UserInfo{{"progress", 0.5f}});
        center.post("DragPerformed", UserInfo{{"path", std::string("/x.mov")}});
        std::thread poster([&] { center.post("UpdateProgress", UserInfo{{"progress", 0.75f}}); });
        const auto posterId = poster.get_id();
        poster.join();
        EXPECT_EQ(deliveredOn, posterId);
        center.post("UpdateProgress");  // no user info
    }
    center.post("UpdateProgress", UserInfo{{"progress", 1.0f}});
    EXPECT_EQ(seen, (std::vector<float>{0.5f, 0.75f, -1.0f}));
}

TEST(NotificationCenter, ATypedPayloadTravelsBesideTheUserInfo) {
    NotificationCenter center;
    struct Report {
        int pass;
    };
    std::vector<int> passes;
    std::vector<std::string> paths;
    const ObserverToken token = center.addObserver("UpdateProgress", [&](const Notification& n) {
        const Report* report = n.payloadAs<Report>();
        passes.push_back(report ? report->pass : -1);
        EXPECT_EQ(n.payloadAs<int>(), nullptr);  // a payload of another type is no payload
    });
    const ObserverToken drag = center.addObserver("DragPerformed", [&](const Notification& n) {
        EXPECT_FALSE(n.payload.has_value());
        paths.push_back(n.value<std::string>("path").value_or("?"));
    });
    center.post("UpdateProgress", UserInfo{{"progress", 0.5f}}, Report{2});
    center.post("UpdateProgress", UserInfo{{"progress", 0.5f}});
    center.post("DragPerformed", UserInfo{{"path", std::string("/x.mov")}});
    EXPECT_EQ(passes, (std::vector<int>{2, -1}));
    EXPECT_EQ(paths, std::vector<std::string>{"/x.mov"});
}

TEST(NotificationCenter, ObserversMayComeAndGoWhileAnotherThreadPosts) {
    NotificationCenter center;
    std::atomic<int> delivered{0};
    std::atomic<bool> stop{false};
    std::thread poster([&] {
        while (!stop) center.post("tick");
    });
    for (int i = 0; i < 2000; ++i) {
        ObserverToken token = center.addObserver("tick", [&](const Notification&) { ++delivered; });
    }
    stop = true;
    poster.join();
    const int before = delivered;
    center.post("tick");
    EXPECT_EQ(delivered, before);
}

}  // namespace
}  // namespace tintreel
