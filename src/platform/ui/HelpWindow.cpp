#include "platform/ui/HelpWindow.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QTextBrowser>
#include <QVBoxLayout>

namespace tintreel {

HelpWindow::HelpWindow(QWidget* parent) : QWidget(parent, Qt::Window), browser_(new QTextBrowser) {
    setObjectName(QStringLiteral("helpWindow"));
    setWindowTitle(tr("Tintreel Help"));
    setAttribute(Qt::WA_QuitOnClose, false);  // closing the editor still quits
    browser_->setOpenExternalLinks(true);     // web links through QDesktopServices
    auto* back = new QPushButton(tr("Back"));
    auto* forward = new QPushButton(tr("Forward"));
    back->setEnabled(false);
    forward->setEnabled(false);
    connect(back, &QPushButton::clicked, browser_, &QTextBrowser::backward);
    connect(forward, &QPushButton::clicked, browser_, &QTextBrowser::forward);
    connect(browser_, &QTextBrowser::backwardAvailable, back, &QPushButton::setEnabled);
    connect(browser_, &QTextBrowser::forwardAvailable, forward, &QPushButton::setEnabled);
    connect(browser_, &QTextBrowser::sourceChanged, this,
            [this] { setWindowTitle(browser_->documentTitle() + tr(" \u2014 Tintreel Help")); });
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(back);
    buttons->addWidget(forward);
    buttons->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(buttons);
    layout->addWidget(browser_, 1);
    resize(760, 820);
}

void HelpWindow::showPage(const QUrl& page) {
    if (browser_->source() != page) browser_->setSource(page);
    show();
    raise();
    activateWindow();
}

}  // namespace tintreel
