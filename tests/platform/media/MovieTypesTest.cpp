// The movie extensions and the container a render of each writes.
#include <gtest/gtest.h>

#include "platform/media/MovieTypes.h"

namespace tintreel {
namespace {

TEST(MovieTypes, AcceptedExtensionsAndTheContainerRendersWrite) {
    for (const char* movie : {"a.mov", "b.MP4", "dir.x/c.m4v", "d.3gp", "e.3G2", "f.mkv", "g.WebM", "h.avi", "i.ts",
                              "j.mts", "k.m2ts", "l.mpg", "m.mpeg", "n.flv", "o.ogv", "p.wmv"})
        EXPECT_TRUE(hasMovieExtension(movie)) << movie;
    for (const char* other : {"photo.png", "anim.gif", "photo.jpg", "notes.txt", "mkv", "movie.", "movie.mp4.bak"})
        EXPECT_FALSE(hasMovieExtension(other)) << other;

    // The containers the writer makes keep their own extension as spelt; everything else renders into MP4.
    EXPECT_EQ(renderedExtensionFor("clip.mov"), "mov");
    EXPECT_EQ(renderedExtensionFor("CLIP.MOV"), "MOV");
    EXPECT_EQ(renderedExtensionFor("clip.3g2"), "3g2");
    EXPECT_EQ(renderedExtensionFor("clip.m4v"), "m4v");
    EXPECT_EQ(renderedExtensionFor("clip.mkv"), "mkv");
    EXPECT_EQ(renderedExtensionFor("clip.WebM"), "WebM");
    for (const char* other : {"clip.AVI", "clip.ts", "clip.mpg", "clip.flv", "clip.wmv"})
        EXPECT_EQ(renderedExtensionFor(other), "mp4") << other;
}

}  // namespace
}  // namespace tintreel
