#pragma once
// Shared by the media tests: one movie through a MovieReader into a
// MovieWriter, waited for to the end (or the reader's failure).

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/media/MediaAsset.h"
#include "platform/media/MovieReader.h"
#include "platform/media/MovieSource.h"
#include "platform/media/MovieWriter.h"

namespace tintreel::test {

struct Outcome {
    bool finished = false;
    std::vector<float> progress;  // sampled on every advance
};

// Runs `source` through `operation` into `target` and waits for the end.
inline Outcome transcode(const std::shared_ptr<MovieSource>& source, const std::filesystem::path& target,
                         EncodingRole role, FrameOperation operation = {}) {
    Outcome outcome;
    auto opened = MovieReader::open(source);
    const auto track = source->facts().firstVideoTrack();
    if (!opened || !track) return outcome;
    MovieReader* reader = opened->get();
    MovieWriter writer(target, track->width, track->height, role);
    if (!writer.startRecording(*reader)) return outcome;
    std::mutex mutex;
    reader->startProcessing(std::move(operation), writer, [&] {
        std::lock_guard lock(mutex);
        outcome.progress.push_back(reader->progress());
    });
    // A guard against a hang, not a speed test.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (reader->progress() != 1.0f && !reader->failure() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    reader->stopProcessing();
    const Status finished = writer.finishRecording();
    outcome.finished = finished && reader->progress() == 1.0f;
    if (!finished) ADD_FAILURE() << "writer: " << finished.error();
    EXPECT_FALSE(reader->failure());
    return outcome;
}

inline Outcome transcode(const std::filesystem::path& source, const std::filesystem::path& target,
                         EncodingRole role, FrameOperation operation = {}) {
    const auto opened = MovieSource::open(source);
    if (!opened) return {};
    return transcode(*opened, target, role, std::move(operation));
}

}  // namespace tintreel::test
