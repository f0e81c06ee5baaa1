#include <gtest/gtest.h>

#include "settings/ControlCatalogue.h"
#include "settings/ControlToolTips.h"

namespace tintreel {
namespace {

std::string tipOf(std::string_view outlet) { return controlToolTip(*findControl(outlet)); }

TEST(ControlToolTipsTest, EveryControlSaysWhatItDoesAndNumbersTheirRangeInTheWindowsUnits) {
    for (const ControlRow& control : controlCatalogue()) {
        const std::string tip = controlToolTip(control);
        const GroupRow& group = groupSpec(control.group);
        ASSERT_FALSE(group.purpose.empty()) << control.outlet;
        EXPECT_EQ(tip.rfind(std::string(group.purpose) + ".\n", 0), 0u) << control.outlet;
        EXPECT_GT(tip.size(), group.purpose.size() + 10) << control.outlet;
    }
    EXPECT_EQ(tipOf("sliderHue"), "Colour adjustments, always applied.\n"
                                  "Hue: -180° to 180°, default 0°. Double-click the slider for the default.");
    EXPECT_NE(tipOf("sliderSepiaIntensity").find("Intensity: 0% to 100%, default 100%."), std::string::npos);
    EXPECT_NE(tipOf("sliderBlurIntensity").find("0.0 px to 20.0 px, default 3.0 px"), std::string::npos);
    EXPECT_NE(tipOf("stepperScale").find("Scale (%): 1 to 999, default 100."), std::string::npos);
    EXPECT_NE(tipOf("stepper3DTransformM11").find("-100 to 100, default 1."), std::string::npos);
    EXPECT_NE(tipOf("comboTextPosition").find("default "), std::string::npos);
    EXPECT_NE(tipOf("checkSepia").find("Tick to apply it."), std::string::npos);
    EXPECT_NE(tipOf("stepperTextEnd")
                  .find("End (s): 0 to 86400, default 0. Type a number or use the arrows. "
                        "Seconds from the first frame when it is gone; 0 keeps it to the end."),
              std::string::npos);
    EXPECT_NE(tipOf("textFieldImageFade").find("Fade (s): 0 to 60, default 0."), std::string::npos);
    EXPECT_NE(tipOf("checkImageScaleWithVideo").find("Scale with Video: tick to add it. Sizes and offsets"),
              std::string::npos);
}

}  // namespace
}  // namespace tintreel
