#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <fstream>

#include "platform/filters/ColorTable.h"
#include "platform/filters/ColorTableKernels.h"
#include "support/Clips.h"
#include "support/ColorTableFixtures.h"

namespace tintreel {
namespace {

namespace fs = std::filesystem;
using test::shellQuoted;

std::shared_ptr<const ColorTable> loaded(const fs::path& file) {
    auto table = ColorTable::load(file);
    EXPECT_TRUE(table.ok()) << (table.ok() ? "" : table.error());
    return table.ok() ? *table : nullptr;
}

Image throughTable(const Image& picture, const std::shared_ptr<const ColorTable>& table,
                   double strength = 1) {
    ColorTableFilter filter;
    filter.setTable(table);
    filter.setStrength(strength);
    return filter.apply(picture);
}

// `picture` through one grid kernel, each row whole and, to reach the
// kernels' leftover pixels, again with the last few pixels of the row apart.
Image throughGridRow(const Image& picture, const ColorTable& table, GridRow row, float strength) {
    Image result(picture.width(), picture.height());
    for (int y = 0; y < picture.height(); ++y) {
        const int split = y % 2 ? picture.width() : std::max(0, picture.width() - 1 - y % 23);
        row(table, picture.pixel(0, y), result.pixel(0, y), split, strength);
        row(table, picture.pixel(split, y), result.pixel(split, y), picture.width() - split, strength);
    }
    return result;
}

void writeText(const fs::path& file, const std::string& text) {
    std::ofstream(file, std::ios::binary) << text;
}

std::string identityCube(int size) {
    std::string text = "LUT_3D_SIZE " + std::to_string(size) + "\n";
    for (int b = 0; b < size; ++b)
        for (int g = 0; g < size; ++g)
            for (int r = 0; r < size; ++r)
                text += std::to_string(r / double(size - 1)) + " " + std::to_string(g / double(size - 1)) +
                        " " + std::to_string(b / double(size - 1)) + "\n";
    return text;
}

class ColorTableTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = test::scratchDirectory(
            "color-table-" + std::string(testing::UnitTest::GetInstance()->current_test_info()->name()));
        const fs::path png = test::photoLikePicture(dir_);
        auto picture = test::ffmpegFrame(png, 0);
        ASSERT_TRUE(picture) << "ffmpeg made no picture";
        png_ = png;
        picture_ = *picture;
    }
    fs::path dir_, png_;
    Image picture_;
};

// Tables baked from known transforms agree with ffmpeg's tetrahedral lut3d
// on the same file, at every common grid size.
TEST_F(ColorTableTest, MatchesFfmpegThreeDimensionalTables) {
    const std::pair<const char*, const char*> transforms[] = {
        {"cdl", "--slope 1.1 0.95 0.9 --offset 0.02 0 -0.03 --power 0.9 1.1 1.2 --sat 1.2"},
        {"gammaswap", "--power 2.2 2.2 2.2 --lut swap.spimtx"},
    };
    writeText(dir_ / "swap.spimtx", "0 0 1 0\n0 1 0 0\n1 0 0 0\n");
    for (const auto& [name, transform] : transforms) {
        for (int size : {17, 33, 65}) {
            SCOPED_TRACE(std::string(name) + " " + std::to_string(size));
            const fs::path cube = test::bakedTable(dir_, name, transform, size);
            const auto theirs =
                test::ffmpegFrame(png_, 0, "lut3d=file=" + shellQuoted(cube) + ":interp=tetrahedral");
            ASSERT_TRUE(theirs);
            const auto table = loaded(cube);
            ASSERT_TRUE(table);
            EXPECT_EQ(table->gridSize(), size);
            const Image ours = throughTable(picture_, table);
            EXPECT_GE(test::colourPsnr(ours, *theirs), 48.0);
            EXPECT_LT(test::colourPsnr(ours, picture_), 40.0) << "the table changed nothing";
        }
    }
}

// Every wide kernel the processor runs gives the one-pixel kernel's picture
// bit for bit, whether the grid places follow from the plain levels or from
// a curve in front of the grid, with nodes outside [0, 1] and at part
// strength.
TEST_F(ColorTableTest, WideAndNarrowKernelsAgree) {
    std::array<ColorTable::ChannelCurve, 3> plain{}, shaped{};
    for (int level = 0; level < 256; ++level)
        for (int c = 0; c < 3; ++c) {
            plain[c][level] = static_cast<float>(level) / 255.0f;
            shaped[c][level] = static_cast<float>(std::pow(level / 255.0, 0.5 + 0.4 * c));
        }
    std::uint32_t seed = 12345;
    const auto noise = [&seed] { return (seed = seed * 1664525u + 1013904223u) / 4294967296.0f * 1.4f - 0.2f; };
    for (const auto* curves : {&plain, &shaped}) {
        for (int size : {2, 17, 33}) {
            std::vector<float> grid(3 * static_cast<std::size_t>(size * size * size));
            std::generate(grid.begin(), grid.end(), noise);
            const auto table = std::make_shared<const ColorTable>(*curves, size, std::move(grid));
            EXPECT_EQ(table->hasPlainCurves(), curves == &plain);
            const auto rows = gridRows(*table);
            for (float strength : {1.0f, 0.7f}) {
                const Image narrow = throughGridRow(picture_, *table, rows.front().row, strength);
                EXPECT_EQ(throughTable(picture_, table, strength), narrow);
                for (const auto& [name, row] : rows)
                    EXPECT_EQ(throughGridRow(picture_, *table, row, strength), narrow)
                        << name << ", size " << size << ", strength " << strength
                        << (curves == &plain ? ", plain" : ", shaped");
            }
        }
    }
}

// A 1D table (a gamma curve with each channel its own) agrees with ffmpeg's lut1d.
TEST_F(ColorTableTest, MatchesFfmpegOneDimensionalTable) {
    std::string text = "LUT_1D_SIZE 1024\n";
    for (int i = 0; i < 1024; ++i) {
        const double v = i / 1023.0;
        text += std::to_string(std::pow(v, 0.6)) + " " + std::to_string(std::pow(v, 1.4)) + " " +
                std::to_string(1.0 - v) + "\n";
    }
    const fs::path cube = dir_ / "curve.cube";
    writeText(cube, text);
    const auto theirs = test::ffmpegFrame(png_, 0, "lut1d=file=" + shellQuoted(cube));
    ASSERT_TRUE(theirs);
    const auto table = loaded(cube);
    ASSERT_TRUE(table);
    EXPECT_EQ(table->gridSize(), 0);
    EXPECT_GE(test::colourPsnr(throughTable(picture_, table), *theirs), 48.0);
}

// Identity tables of any size keep every level within one; strength 0 keeps
// the picture exactly, and half strength lands halfway. A file changed in
// place is read again, not served from the cache.
TEST_F(ColorTableTest, IdentityStrengthAndAChangedFile) {
    for (int size : {2, 17, 33, 65}) {
        const fs::path cube = dir_ / ("identity" + std::to_string(size) + ".cube");
        writeText(cube, identityCube(size));
        const Image out = throughTable(picture_, loaded(cube));
        int worst = 0;
        for (std::size_t i = 0; i < out.byteCount(); ++i)
            worst = std::max(worst, std::abs(out.data()[i] - picture_.data()[i]));
        EXPECT_LE(worst, 1) << "size " << size;
    }
    // The size-2 identity, rewritten in place as the negative.
    const fs::path invert = dir_ / "identity2.cube";
    writeText(invert, "LUT_3D_SIZE 2\n1 1 1\n0 1 1\n1 0 1\n0 0 1\n1 1 0\n0 1 0\n1 0 0\n0 0 0\n");
    fs::last_write_time(invert, fs::last_write_time(invert) + std::chrono::seconds(5));
    const auto table = loaded(invert);
    EXPECT_EQ(throughTable(picture_, table, 0.0), picture_);
    const Image half = throughTable(picture_, table, 0.5);
    const Image full = throughTable(picture_, table, 1.0);
    for (std::size_t i = 0; i < half.byteCount(); i += 97) {
        if (i % 4 == 3) continue;
        EXPECT_EQ(full.data()[i], 255 - picture_.data()[i]);
        EXPECT_NEAR(half.data()[i], 127.5, 0.51);
    }
}

// Files that are not usable tables are refused with a message naming them;
// nothing blocks on a pipe and nothing reads a huge file.
TEST_F(ColorTableTest, RefusesBadFiles) {
    struct Case {
        const char* name;
        std::string content;
    };
    const Case cases[] = {
        {"rows.cube", "LUT_3D_SIZE 2\n0 0 0\n1 0 0\n0 1 0\n"},
        {"text.cube", "LUT_3D_SIZE 2\n0 0 0\n1 0 0\n0 one 0\n1 1 0\n0 0 1\n1 0 1\n0 1 1\n1 1 1\n"},
        {"nan.cube", "LUT_3D_SIZE 2\n0 0 0\n1 0 0\nnan 1 0\n1 1 0\n0 0 1\n1 0 1\n0 1 1\n1 1 1\n"},
        {"size1.cube", "LUT_3D_SIZE 1\n0 0 0\n"},
        {"size300.cube", "LUT_3D_SIZE 300\n0 0 0\n1 1 1\n"},
        {"mismatch.cube", identityCube(3).replace(0, 13, "LUT_3D_SIZE 2")},
        {"empty.cube", ""},
    };
    std::vector<std::string> names = {"folder.cube", "pipe.cube", "huge.cube", "missing.cube"};
    for (const Case& c : cases) writeText(dir_ / c.name, c.content), names.push_back(c.name);
    fs::create_directory(dir_ / "folder.cube");
    ASSERT_EQ(mkfifo((dir_ / "pipe.cube").c_str(), 0600), 0);
    writeText(dir_ / "huge.cube", "");
    fs::resize_file(dir_ / "huge.cube", 1ull << 30);  // sparse: nothing is written
    for (const std::string& name : names) {
        const auto table = ColorTable::load(dir_ / name);
        ASSERT_FALSE(table.ok()) << name;
        EXPECT_NE(table.error().find(name), std::string::npos) << table.error();
    }
}

}  // namespace
}  // namespace tintreel
