#pragma once
// Builds the settings panel (one tab per part of the catalogue: adjustments,
// effects, transforms, text watermark, image watermark) with one widget per
// catalogue control, each registered in the outlets under its name.
//
// GUI thread only.

class QTabWidget;
class QWidget;

namespace tintreel {

class Dialogs;
class Outlets;

QTabWidget* buildSettingsTabs(Outlets& outlets, Dialogs& dialogs, QWidget* parent);

}  // namespace tintreel
