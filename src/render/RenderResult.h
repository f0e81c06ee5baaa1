#pragma once
// How a movie pass or a whole render ended: the movie it wrote, or that it
// failed (and why, in words for the log), or that it was cancelled. The
// window and the command line turn these into what they show a person.
//
// A plain value, copied freely between threads.

#include <filesystem>
#include <string>

namespace tintreel {

enum class RenderOutcome { Succeeded, Failed, Canceled };

// Why a finished movie did not reach its destination, when that is how the render failed.
enum class PlacementFailure {
    None,
    CannotWrite,  // the system's words are the failure
    Taken,        // a file appeared there while the render ran, and was kept
};

struct RenderResult {
    RenderOutcome outcome;
    std::filesystem::path newVideoPath;  // the movie written, on success only
    std::string failure;                 // what went wrong, on failure only
    PlacementFailure placement = PlacementFailure::None;

    static RenderResult succeeded(std::filesystem::path movie) {
        return {RenderOutcome::Succeeded, std::move(movie), {}};
    }
    static RenderResult failed(std::string why) { return {RenderOutcome::Failed, {}, std::move(why)}; }
    static RenderResult canceled() { return {RenderOutcome::Canceled, {}, {}}; }
    static RenderResult notPlaced(std::string why, PlacementFailure placement) {
        return {RenderOutcome::Failed, {}, std::move(why), placement};
    }
};

}  // namespace tintreel
