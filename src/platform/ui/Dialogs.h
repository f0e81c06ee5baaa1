#pragma once
// Dialogs: every alert, question, file or colour panel the editor shows, and
// the browser it opens, go through this interface, so tests can answer them without a modal loop.
//
// Alerts follow one house style: no message text, the sentence as the
// informative text, and a single "OK" button; a question has "Yes" and "No".
// An alert may say why below its sentence, in the detail text.
// GUI thread only.

#include <QColor>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <optional>
#include <string_view>

#include "platform/media/RenderSettings.h"
#include "platform/system/QtText.h"

class QWidget;

namespace tintreel {

class HelpWindow;

enum class AlertStyle { Warning, Informational };

class Dialogs {
public:
    virtual ~Dialogs() = default;

    // `detail`, when not empty, says why (shown under the sentence).
    virtual void alert(const QString& text, AlertStyle style = AlertStyle::Warning,
                       const QString& detail = {}) = 0;
    // True when the user answered "Yes".
    virtual bool question(const QString& text) = 0;
    // A file to open of one of `extensions` (without dots), the panel opening
    // in `folder` when one is given; nothing when cancelled.
    virtual std::optional<QString> openFile(const QString& title, const QStringList& extensions,
                                            const QString& folder = {}) = 0;
    // Any number of files to open of one of `extensions`; empty when cancelled.
    virtual QStringList openFiles(const QString& title, const QStringList& extensions,
                                  const QString& folder = {}) = 0;
    // A folder, the panel opening in `folder` when one is given; nothing when cancelled.
    virtual std::optional<QString> chooseFolder(const QString& title, const QString& folder = {}) = 0;
    // A path to save to, suggesting `suggestedName` (a name, or a path whose
    // folder the panel opens in); nothing when cancelled.
    virtual std::optional<QString> saveFile(const QString& title, const QString& suggestedName,
                                            const QStringList& extensions) = 0;
    virtual std::optional<QColor> chooseColor(const QColor& initial) = 0;
    // The Render Settings dialog, starting from `current`; nothing when cancelled.
    virtual std::optional<RenderSettings> editRenderSettings(const RenderSettings& current) = 0;
    // Shows a page: a local file (the help) in the application's own help
    // window, anything else in the user's browser; the outcome is not reported.
    virtual void openUrl(const QUrl& url) = 0;
    // After the editor ended without a normal quit: whether to restore the
    // session it left, which worked on the video `videoName`. True to restore.
    virtual bool offerSessionRestore(const QString& videoName) = 0;
};

// `extensions` as the file panels take them.
template <typename Extensions>
QStringList extensionList(const Extensions& extensions) {
    QStringList list;
    for (std::string_view extension : extensions) list << qstring(extension);
    return list;
}

// The file panels' filter for `extensions` (without dots), named for what
// they hold: "Movies (*.mp4 *.mov);;All files (*)", or Pictures, Profiles, Files.
QString fileTypeFilter(const QStringList& extensions);

// The real panels: modal Qt dialogs parented to `parent`.
class QtDialogs : public Dialogs {
public:
    explicit QtDialogs(QWidget* parent) : parent_(parent) {}
    ~QtDialogs() override;

    void alert(const QString& text, AlertStyle style, const QString& detail) override;
    bool question(const QString& text) override;
    std::optional<QString> openFile(const QString& title, const QStringList& extensions,
                                    const QString& folder) override;
    QStringList openFiles(const QString& title, const QStringList& extensions,
                          const QString& folder) override;
    std::optional<QString> chooseFolder(const QString& title, const QString& folder) override;
    std::optional<QString> saveFile(const QString& title, const QString& suggestedName,
                                    const QStringList& extensions) override;
    std::optional<QColor> chooseColor(const QColor& initial) override;
    std::optional<RenderSettings> editRenderSettings(const RenderSettings& current) override;
    void openUrl(const QUrl& url) override;
    bool offerSessionRestore(const QString& videoName) override;

private:
    QWidget* parent_;
    QPointer<HelpWindow> help_;  // made on first use, a window of `parent_`
};

}  // namespace tintreel
