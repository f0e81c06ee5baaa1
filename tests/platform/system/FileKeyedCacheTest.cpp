// The cache keeps a value while its file is unchanged.

#include <gtest/gtest.h>

#include <fstream>

#include "platform/system/FileKeyedCache.h"
#include "support/Clips.h"

namespace tintreel {
namespace {

namespace fs = std::filesystem;

void write(const fs::path& file, const std::string& text) {
    std::ofstream(file, std::ios::binary) << text;
}

TEST(FileKeyedCache, FindsAValueOnlyWhileItsFileIsUnchanged) {
    const fs::path dir = test::scratchDirectory("file-keyed-cache");
    const fs::path movie = dir / "movie.mp4";
    write(movie, "first content");
    const FileKeyedCache cache(dir / "cache");  // made by the first store
    EXPECT_FALSE(cache.find(movie, "whole"));
    ASSERT_TRUE(cache.store(movie, "whole", "0 -23.0000 -3.0000\n"));
    EXPECT_EQ(cache.find(movie, "whole"), "0 -23.0000 -3.0000\n");
    EXPECT_FALSE(cache.find(movie, "from 2 to 12"));  // another detail is another entry

    write(movie, "other content, longer");  // the size and time change
    EXPECT_FALSE(cache.find(movie, "whole"));

    // A damaged entry is not found; a file that is gone neither finds nor stores.
    ASSERT_TRUE(cache.store(movie, "whole", "value"));
    for (const auto& entry : fs::directory_iterator(dir / "cache")) write(entry.path(), "garbage");
    EXPECT_FALSE(cache.find(movie, "whole"));
    fs::remove(movie);
    EXPECT_FALSE(cache.find(movie, "whole"));
    EXPECT_FALSE(cache.store(movie, "whole", "value"));
}

}  // namespace
}  // namespace tintreel
