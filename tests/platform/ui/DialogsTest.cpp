// The file panels name what they list: movies, pictures or profiles.
#include <gtest/gtest.h>

#include "platform/ui/Dialogs.h"

namespace tintreel {
namespace {

TEST(Dialogs, FileFiltersAreNamedForWhatTheyList) {
    EXPECT_EQ(fileTypeFilter({"mp4", "mov", "mkv"}), "Movies (*.mp4 *.mov *.mkv);;All files (*)");
    EXPECT_EQ(fileTypeFilter({"png", "jpg", "jpeg"}), "Pictures (*.png *.jpg *.jpeg);;All files (*)");
    EXPECT_EQ(fileTypeFilter({"tintreel"}), "Profiles (*.tintreel);;All files (*)");
    EXPECT_EQ(fileTypeFilter({"mp4", "png"}), "Files (*.mp4 *.png);;All files (*)") << "a mix is neither";
}

}  // namespace
}  // namespace tintreel
