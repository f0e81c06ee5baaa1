#pragma once
// Shared by the render tests: clips, a private temporary directory, a
// recorder of the "UpdateProgress" notifications a render posts, and a
// render run to its end.

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <mutex>
#include <vector>

#include "platform/system/Log.h"
#include "platform/system/NotificationCenter.h"
#include "render/RenderWorker.h"
#include "render/VideoTools.h"
#include "settings/ProgressText.h"
#include "support/Clips.h"

namespace tintreel::test {

// 160x90 colour bars at 30 fps with a tone, `seconds` long.
inline std::filesystem::path barsWithTone(const std::string& extension, double seconds = 1.5) {
    const std::string d = std::to_string(seconds);
    return makeClip("-f lavfi -i testsrc2=s=160x90:r=30:d=" + d + " -f lavfi -i sine=r=8000:d=" + d +
                        " -ac 1 -pix_fmt yuv420p -c:v libx264 -g 30 -c:a aac",
                    extension);
}

struct Posted {
    float progress;
    int effect;  // 0: the whole chain in one pass
    int pass, passCount;
    std::vector<std::string> steps;  // the whole chain's names, in a one-pass render
};

// Records every "UpdateProgress" posted to its own centre.
class ProgressLog {
public:
    explicit ProgressLog(std::function<void(const Posted&)> also = {}) {
        token_ = center.addObserver(std::string(kUpdateProgress), [this, also](const Notification& n) {
            const RenderProgress& report = *n.payloadAs<RenderProgress>();
            const Posted posted{report.fraction, report.effect ? static_cast<int>(*report.effect) : 0,
                                report.pass, report.passCount, report.steps};
            {
                std::lock_guard lock(mutex_);
                posts_.push_back(posted);
            }
            if (also) also(posted);
        });
    }
    std::vector<Posted> posts() const {
        std::lock_guard lock(mutex_);
        return posts_;
    }
    NotificationCenter center;

private:
    mutable std::mutex mutex_;
    std::vector<Posted> posts_;
    ObserverToken token_;
};

// What one render reported: its end, its progress and the lines it printed.
struct Rendered {
    RenderResult result;
    std::vector<Posted> posts;
    std::vector<std::string> printed;
};

// Runs `request` to its end, which it must report once; `onPost` sees each
// progress post, and `cancel`, when given, is the flag the render watches.
inline Rendered render(const RenderRequest& request, std::function<void(const Posted&)> onPost = {},
                       std::atomic<bool>* cancel = nullptr) {
    std::atomic<bool> ownFlag{false};
    ProgressLog log(std::move(onPost));
    const ScopedLogCapture printed;
    Rendered run{RenderResult::failed("no end reported"), {}, {}};
    int ends = 0;
    GeneratePreviewVideo(request, cancel ? *cancel : ownFlag, log.center, [&](const RenderResult& result) {
        run.result = result;
        ++ends;
    });
    EXPECT_EQ(ends, 1) << "a render reports its end once";
    run.posts = log.posts();
    run.printed = printed.lines();
    return run;
}

inline std::vector<std::string> entriesOf(const std::filesystem::path& directory) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(directory))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace tintreel::test
