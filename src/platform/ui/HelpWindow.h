#pragma once
// HelpWindow: the help pages shown inside the application, so help works on
// a machine without a browser. Links between local pages stay in it, with
// Back and Forward; links to the web open in the user's browser.
//
// One window per owner, made on first use and kept hidden when closed. GUI
// thread only.

#include <QUrl>
#include <QWidget>

class QTextBrowser;

namespace tintreel {

class HelpWindow : public QWidget {
    Q_OBJECT
public:
    explicit HelpWindow(QWidget* parent = nullptr);

    // Shows `page` (a local file), raised in front.
    void showPage(const QUrl& page);
    QTextBrowser* browser() const { return browser_; }

private:
    QTextBrowser* browser_;
};

}  // namespace tintreel
