#pragma once
// A notice on the desktop (the freedesktop notification service on the
// session bus), for news the user should get while working in another
// window. Where no such service runs nothing is shown and nothing fails.
//
// GUI thread only; never waits for the desktop's answer.

#include <QString>

namespace tintreel {

void showDesktopNotice(const QString& summary, const QString& body);

}  // namespace tintreel
