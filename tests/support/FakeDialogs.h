#pragma once
// FakeDialogs: answers alerts and panels from a script and records what was
// shown, so widget tests never block on a modal loop.

#include <deque>
#include <optional>
#include <utility>
#include <vector>

#include "platform/ui/Dialogs.h"

namespace tintreel {

class FakeDialogs : public Dialogs {
public:
    struct Alert {
        QString text;
        AlertStyle style;
        QString detail;
    };

    void alert(const QString& text, AlertStyle style, const QString& detail) override {
        alerts.push_back({text, style, detail});
    }
    bool question(const QString& text) override {
        questions.push_back(text);
        if (answers.empty()) return false;
        const bool answer = answers.front();
        answers.pop_front();
        return answer;
    }
    std::optional<QString> openFile(const QString&, const QStringList& extensions,
                                    const QString& folder) override {
        openedWith.push_back(extensions);
        openedIn.push_back(folder);
        return takeFront(openPaths);
    }
    QStringList openFiles(const QString&, const QStringList& extensions, const QString& folder) override {
        openedWith.push_back(extensions);
        openedIn.push_back(folder);
        return takeFront(openPathLists).value_or(QStringList());
    }
    std::optional<QString> chooseFolder(const QString&, const QString& folder) override {
        openedIn.push_back(folder);
        return takeFront(folders);
    }
    std::optional<QString> saveFile(const QString&, const QString& suggestedName,
                                    const QStringList& extensions) override {
        suggestedNames.push_back(suggestedName);
        savedWith.push_back(extensions);
        return takeFront(savePaths);
    }
    std::optional<QColor> chooseColor(const QColor&) override { return takeFront(colors); }
    std::optional<RenderSettings> editRenderSettings(const RenderSettings& current) override {
        renderSettingsShown.push_back(current);
        return takeFront(renderSettingsAnswers);
    }
    void openUrl(const QUrl& url) override { openedUrls.push_back(url); }
    bool offerSessionRestore(const QString& videoName) override {
        sessionOffers.push_back(videoName);
        return restoreSession;
    }

    // Scripted answers, consumed in order; an empty queue means "cancelled" / "No".
    std::deque<bool> answers;
    std::deque<std::optional<QString>> openPaths;
    std::deque<std::optional<QStringList>> openPathLists;
    std::deque<std::optional<QString>> folders;
    std::deque<std::optional<QString>> savePaths;
    std::deque<std::optional<QColor>> colors;
    std::deque<std::optional<RenderSettings>> renderSettingsAnswers;
    bool restoreSession = false;  // the answer to every offer of a left session

    // What the code under test showed.
    std::vector<Alert> alerts;
    std::vector<QString> questions;
    std::vector<QStringList> openedWith;
    std::vector<QString> openedIn;  // the folder each open panel started in
    std::vector<QString> suggestedNames;
    std::vector<QStringList> savedWith;
    std::vector<QUrl> openedUrls;
    std::vector<RenderSettings> renderSettingsShown;
    std::vector<QString> sessionOffers;  // the video each offer named

private:
    template <typename T>
    static std::optional<T> takeFront(std::deque<std::optional<T>>& queue) {
        if (queue.empty()) return std::nullopt;
        std::optional<T> value;
        value.swap(queue.front());
        queue.pop_front();
        return value;
    }
};

}  // namespace tintreel
