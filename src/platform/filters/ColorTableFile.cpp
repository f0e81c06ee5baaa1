// Reading a table file through OpenColorIO and baking it into a ColorTable.
#include <OpenColorIO/OpenColorIO.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <map>
#include <mutex>
#include <optional>
#include <span>
#include <string_view>
#include <system_error>

#include "platform/filters/ColorTable.h"
#include "platform/system/InputFile.h"

namespace OCIO = OCIO_NAMESPACE;

namespace tintreel {

namespace fs = std::filesystem;

namespace {

using Curves = std::array<ColorTable::ChannelCurve, 3>;

Curves identityCurves() {
    Curves curves{};
    for (auto& curve : curves)
        for (int level = 0; level < 256; ++level) curve[level] = static_cast<float>(level) / 255.0f;
    return curves;
}

// The 256 levels of each channel through `processor` (a per-channel part).
Curves sampleCurves(const OCIO::ConstProcessorRcPtr& processor) {
    const auto cpu = processor->getDefaultCPUProcessor();
    Curves curves{};
    for (int level = 0; level < 256; ++level) {
        float rgb[3] = {level / 255.0f, level / 255.0f, level / 255.0f};
        cpu->applyRGB(rgb);
        for (int c = 0; c < 3; ++c) curves[c][level] = rgb[c];
    }
    return curves;
}

// `size`^3 nodes of `processor`, red changing fastest. At a file's own grid
// the nodes come back exactly as the file holds them.
std::vector<float> sampleGrid(const OCIO::ConstProcessorRcPtr& processor, int size) {
    const auto cpu = processor->getDefaultCPUProcessor();
    std::vector<float> grid(static_cast<std::size_t>(size) * size * size * 3);
    const float top = static_cast<float>(size - 1);
    std::size_t i = 0;
    for (int b = 0; b < size; ++b)
        for (int g = 0; g < size; ++g)
            for (int r = 0; r < size; ++r, i += 3) {
                float* rgb = &grid[i];
                rgb[0] = r / top;
                rgb[1] = g / top;
                rgb[2] = b / top;
                cpu->applyRGB(rgb);
            }
    return grid;
}

bool allFinite(std::span<const float> values) {
    return std::all_of(values.begin(), values.end(), [](float v) { return std::isfinite(v); });
}

// Why the file's tables cannot be used, or nothing: an entry that is not a
// number (the processor would hide it behind its own clamping), or a table
// of a single entry per side, which maps every colour to one.
std::optional<std::string> tableProblem(const OCIO::ConstGroupTransformRcPtr& group) {
    const auto numbers = [](float r, float g, float b) {
        return std::isfinite(r) && std::isfinite(g) && std::isfinite(b);
    };
    const std::string notNumbers = "it holds values that are not numbers";
    const std::string single = "its table has a single entry per side";
    for (int i = 0; i < group->getNumTransforms(); ++i) {
        const auto transform = group->getTransform(i);
        float r = 0, g = 0, b = 0;
        if (const auto lut = OCIO::DynamicPtrCast<const OCIO::Lut1DTransform>(transform)) {
            if (lut->getLength() < 2) return single;
            for (unsigned long k = 0; k < lut->getLength(); ++k)
                if (lut->getValue(k, r, g, b); !numbers(r, g, b)) return notNumbers;
        } else if (const auto grid = OCIO::DynamicPtrCast<const OCIO::Lut3DTransform>(transform)) {
            const unsigned long n = grid->getGridSize();
            if (n < 2) return single;
            for (unsigned long k = 0; k < n * n * n; ++k)
                if (grid->getValue(k % n, k / n % n, k / (n * n), r, g, b); !numbers(r, g, b))
                    return notNumbers;
        }
    }
    return std::nullopt;
}

OCIO::TransformType typeOf(const OCIO::ConstGroupTransformRcPtr& group, int index) {
    return group->getTransform(index)->getTransformType();
}

// The file's operations as our two parts: a plain 3D table keeps its grid, a
// 1D table (alone or in front of a 3D one) becomes per-channel curves, and
// anything else is sampled into a 65^3 grid.
ColorTable bake(const OCIO::ConstConfigRcPtr& config, const OCIO::ConstProcessorRcPtr& processor) {
    const auto group = processor->createGroupTransform();
    const int count = group->getNumTransforms();
    const auto processorOf = [&](int index) { return config->getProcessor(group->getTransform(index)); };
    const bool endsIn3D = count >= 1 && typeOf(group, count - 1) == OCIO::TRANSFORM_TYPE_LUT3D;
    const bool shaper = count == 2 && typeOf(group, 0) == OCIO::TRANSFORM_TYPE_LUT1D;
    if (endsIn3D && (count == 1 || shaper)) {
        const auto lut = OCIO::DynamicPtrCast<const OCIO::Lut3DTransform>(group->getTransform(count - 1));
        const int size = static_cast<int>(lut->getGridSize());
        if (size >= 2 && size <= kLargestOwnGrid) {
            Curves curves = shaper ? sampleCurves(processorOf(0)) : identityCurves();
            return ColorTable(curves, size, sampleGrid(processorOf(count - 1), size));
        }
    }
    if (count == 1 && typeOf(group, 0) == OCIO::TRANSFORM_TYPE_LUT1D)
        return ColorTable(sampleCurves(processor), 0, {});
    return ColorTable(identityCurves(), kBakedGridSize, sampleGrid(processor, kBakedGridSize));
}

// The reader's message on one line: its line breaks and runs of spaces
// become one space, the hint about its debug log (not ours to offer) goes,
// and the final full stop is left to the sentence around it.
std::string readerMessage(std::string_view what) {
    std::string message;
    for (char c : what) {
        const bool space = std::isspace(static_cast<unsigned char>(c));
        if (!space)
            message += c;
        else if (!message.empty() && message.back() != ' ')
            message += ' ';
    }
    constexpr std::string_view kHint = "(Enable debug log for errors from all formats.) ";
    if (const auto at = message.find(kHint); at != std::string::npos) message.erase(at, kHint.size());
    while (!message.empty() && (message.back() == '.' || message.back() == ' ')) message.pop_back();
    return message.empty() ? "the reader gave no reason" : message;
}

Result<std::shared_ptr<const ColorTable>> readTable(const fs::path& path) {
    try {
        // The reader keeps files it has read by name; a file changed since must be read again.
        OCIO::ClearAllCaches();
        const auto config = OCIO::Config::CreateRaw();
        const auto file = OCIO::FileTransform::Create();
        file->setSrc(path.c_str());
        // Tetrahedral for 3D tables, linear for 1D ones.
        file->setInterpolation(OCIO::INTERP_BEST);
        const auto processor = config->getProcessor(file);
        if (const auto problem = tableProblem(processor->createGroupTransform())) return Error{*problem};
        auto table = std::make_shared<const ColorTable>(bake(config, processor));
        if (!allFinite(table->grid()) || !allFinite(std::span(table->curves()[0].data(), 3 * 256)))
            return Error{"it gives values that are not numbers"};
        return std::shared_ptr<const ColorTable>(std::move(table));
    } catch (const std::exception& e) {
        return Error{readerMessage(e.what())};
    }
}

struct CacheKey {
    fs::path path;
    fs::file_time_type modified;
    std::uintmax_t size;
    auto operator<=>(const CacheKey&) const = default;
};

}  // namespace

Result<std::shared_ptr<const ColorTable>> ColorTable::load(const fs::path& path) {
    const auto failed = [&](const std::string& why) {
        return Error{"The color table " + path.string() + " cannot be used: " + why + "."};
    };
    if (Status usable = checkInputFile(path, kColorTableMaxBytes); !usable) return failed(usable.error());
    std::error_code ec;
    const CacheKey key{fs::absolute(path, ec), fs::last_write_time(path, ec), fs::file_size(path, ec)};
    if (ec) return failed(ec.message());

    static std::mutex mutex;
    static std::map<CacheKey, std::shared_ptr<const ColorTable>> cache;
    const std::lock_guard lock(mutex);
    if (const auto found = cache.find(key); found != cache.end()) return found->second;
    auto table = readTable(path);
    if (!table) return failed(table.error());
    // A few recent tables are plenty; an editor switching between many reads again.
    constexpr std::size_t kKept = 4;
    if (cache.size() >= kKept) cache.clear();
    cache.emplace(key, *table);
    return table;
}

}  // namespace tintreel
