#include "hardening/HostileCorpus.h"

#include <unistd.h>
#include <QImage>
#include <fstream>
#include <functional>
#include <iterator>
#include <system_error>

#include "support/Clips.h"

namespace tintreel::test {
namespace fs = std::filesystem;

namespace {

fs::path corpusDirectory() {
    const fs::path dir = fs::path(TINTREEL_TEST_WORK_DIR) / "hostile";
    fs::create_directories(dir);
    return dir;
}

// Makes `name` in the corpus with `write` (given a temporary path) unless it exists.
fs::path generated(const std::string& name, const std::function<bool(const fs::path&)>& write) {
    const fs::path target = corpusDirectory() / name;
    if (fs::exists(target)) return target;
    fs::create_directories(target.parent_path());
    const fs::path partial =
        corpusDirectory() / ("partial-" + std::to_string(::getpid()) + "-" + target.filename().string());
    std::error_code ec;
    if (write(partial)) fs::rename(partial, target, ec);
    fs::remove_all(partial, ec);
    return target;
}

std::string readAll(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

bool writeAll(const fs::path& file, const std::string& bytes) {
    std::ofstream out(file, std::ios::binary);
    out << bytes;
    return static_cast<bool>(out.flush());
}

// One second of 160x120 video at 10 frames per second with a tone. The index
// sits at the front when `indexFirst`, so a cut keeps the movie readable.
fs::path baseClip(bool indexFirst) {
    return makeClip(
        "-f lavfi -i testsrc2=s=160x120:r=10:d=1 -f lavfi -i sine=r=8000:d=1 -ac 1 "
        "-pix_fmt yuv420p -c:v libx264 -c:a aac" +
            std::string(indexFirst ? " -movflags +faststart" : ""),
        indexFirst ? "mp4" : "mov");
}

fs::path copyOf(const fs::path& source, const std::string& name) {
    return generated(name, [&](const fs::path& partial) { return writeAll(partial, readAll(source)); });
}

fs::path cutAt(const fs::path& source, int percent, const std::string& name) {
    return generated(name, [&](const fs::path& partial) {
        const std::string bytes = readAll(source);
        return writeAll(partial, bytes.substr(0, bytes.size() * percent / 100));
    });
}

// The middle fifth of the file overwritten with a fixed pattern: the index and
// the first frames stay intact, the packets in between decode to garbage.
fs::path damagedInTheMiddle(const fs::path& source, const std::string& name) {
    return generated(name, [&](const fs::path& partial) {
        std::string bytes = readAll(source);
        for (size_t i = bytes.size() * 2 / 5; i < bytes.size() * 3 / 5; ++i)
            bytes[i] = static_cast<char>((i * 131) ^ 0x5a);
        return writeAll(partial, bytes);
    });
}

fs::path bytesFile(const std::string& name, const std::string& bytes) {
    return generated(name, [&](const fs::path& partial) { return writeAll(partial, bytes); });
}

fs::path ffmpegFile(const std::string& arguments, const std::string& name) {
    return generated(name, [&](const fs::path& partial) {
        return runCommand("ffmpeg -nostdin -y -loglevel error " + arguments + " '" + partial.string() + "'")
            .has_value();
    });
}

// A real 20000 x 20000 PNG, cheap to make: one bit per pixel, one colour.
fs::path enormousPng() {
    return generated("enormous-20000x20000.png", [](const fs::path& partial) {
        QImage image(20000, 20000, QImage::Format_Mono);
        image.fill(1);
        return image.save(QString::fromStdString(partial.string()), "PNG");
    });
}

std::vector<HostileInput> makeMovies() {
    const auto clip = [] { return baseClip(true); };
    const auto ffmpeg = [](std::string arguments, std::string name) {
        return [=] { return ffmpegFile(arguments, name); };
    };
    const auto copy = [clip](std::string name) { return [=] { return copyOf(clip(), name); }; };
    std::vector<HostileInput> movies;
    for (std::string extension : {"mov", "m4v", "mp4", "3gp", "3g2"})
        movies.push_back(
            {"empty_" + extension, Verdict::Refused, [=] { return bytesFile("empty." + extension, ""); }});
    movies.push_back({"text_as_mp4", Verdict::Refused,
                      [] { return bytesFile("text.mp4", "This is a shopping list, not a movie.\n"); }});
    for (int percent : {10, 50, 90}) {
        const std::string name = "cut-" + std::to_string(percent) + ".mp4";
        movies.push_back({"cut_at_" + std::to_string(percent), Verdict::Either,
                          [=] { return cutAt(clip(), percent, name); }});
    }
    movies.push_back({"cut_index_at_end", Verdict::Refused,
                      [] { return cutAt(baseClip(false), 50, "cut-index-at-end.mov"); }});
    movies.push_back({"damaged_middle", Verdict::Either,
                      [=] { return damagedInTheMiddle(clip(), "damaged-middle.mp4"); }});
    movies.push_back({"audio_only_m4v", Verdict::Refused,
                      ffmpeg("-f lavfi -i sine=r=8000:d=1 -c:a aac -f ipod", "audio-only.m4v")});
    movies.push_back({"single_still_mov", Verdict::Usable,
                      ffmpeg("-f lavfi -i testsrc2=s=160x120 -frames:v 1 -c:v png -f mov", "still.mov")});
    movies.push_back({"tiny_16x16", Verdict::Usable,
                      ffmpeg("-f lavfi -i testsrc2=s=16x16:r=10:d=1 -pix_fmt yuv420p -c:v libx264 -f mp4",
                             "tiny-16x16.mp4")});
    // Known limit: on a loaded machine one 8K frame can take longer than the
    // one-second stall test allows, so a render may end as failed; it must
    // still end cleanly.
    movies.push_back({"huge_8192x4320", Verdict::Either,
                      ffmpeg("-f lavfi -i color=c=teal:s=8192x4320:r=10 -frames:v 2 -pix_fmt yuv420p "
                             "-c:v libx264 -preset ultrafast -f mp4",
                             "huge-8192x4320.mp4")});
    movies.push_back({"odd_321x241", Verdict::Usable,
                      ffmpeg("-f lavfi -i testsrc2=s=321x241:r=10:d=1 -pix_fmt yuv444p -c:v libx264 -f mov",
                             "odd-321x241.mov")});
    movies.push_back({"odd_33x17", Verdict::Usable,
                      ffmpeg("-f lavfi -i testsrc2=s=33x17:r=10:d=1 -c:v png -f mov", "odd-33x17.mov")});
    movies.push_back(
        {"ten_bit_422", Verdict::Usable,
         ffmpeg("-f lavfi -i testsrc2=s=160x120:r=10:d=1 -pix_fmt yuv422p10le -c:v prores_ks -f mov",
                "ten-bit-422.mov")});
    movies.push_back(
        {"ten_bit_420", Verdict::Usable,
         ffmpeg("-f lavfi -i testsrc2=s=160x120:r=10:d=1 -pix_fmt yuv420p10le -c:v libx264 -f mp4",
                "ten-bit-420.mp4")});
    movies.push_back({"chroma_444", Verdict::Usable,
                      ffmpeg("-f lavfi -i testsrc2=s=160x120:r=10:d=1 -pix_fmt yuv444p -c:v libx264 -f mp4",
                             "chroma-444.mp4")});
    for (int degrees : {90, 180, 270})
        movies.push_back({"rotated_" + std::to_string(degrees), Verdict::Usable,
                          [=] { return withRotationTag(baseClip(false), degrees); }});
    movies.push_back({"variable_frame_rate", Verdict::Usable,
                      ffmpeg("-f lavfi -i testsrc2=s=160x120:r=30:d=1 -vf select='lt(n\\,5)+not(mod(n\\,4))' "
                             "-vsync vfr -pix_fmt yuv420p -c:v libx264 -f mp4",
                             "variable-frame-rate.mp4")});
    movies.push_back({"name_with_spaces", Verdict::Usable, copy("a folder/a clip with spaces.mov")});
    movies.push_back({"name_with_quotes", Verdict::Usable, copy("quotes 'single' \"double\".mp4")});
    movies.push_back({"name_non_latin", Verdict::Usable, copy("видео 動画 ταινία.m4v")});
    movies.push_back({"upper_case_extension", Verdict::Usable, copy("UPPER.MP4")});
    return movies;
}

std::vector<HostileInput> makePictures() {
    const auto good = [] {
        return ffmpegFile("-f lavfi -i testsrc2=s=64x48 -frames:v 1 -f image2", "good.png");
    };
    return {
        {"text_as_png", Verdict::Refused,
         [] { return bytesFile("not-a-picture.png", "GIF89a? no, just text\n"); }},
        {"empty_jpg", Verdict::Refused, [] { return bytesFile("empty.jpg", ""); }},
        {"empty_jpeg", Verdict::Refused, [] { return bytesFile("empty.jpeg", ""); }},
        {"cut_png", Verdict::Either, [=] { return cutAt(good(), 50, "cut-half.png"); }},
        {"enormous_png", Verdict::Refused, enormousPng},
    };
}

}  // namespace

const std::vector<HostileInput>& hostileMovies() {
    static const std::vector<HostileInput> movies = makeMovies();
    return movies;
}

const std::vector<HostileInput>& hostilePictures() {
    static const std::vector<HostileInput> pictures = makePictures();
    return pictures;
}

fs::path healthyClip() {
    return baseClip(true);
}

}  // namespace tintreel::test
