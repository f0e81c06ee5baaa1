#pragma once
// FontPopUp: the text watermark's font pop-up. It lists the families
// installed here (FontChoice.h) and holds what the settings record keeps: an
// index of the font list and, for a family outside that list, its name. The
// family it shows is the one the text is drawn with; a family the settings
// name that is not installed is shown marked "(missing)" and kept as it is,
// and a note says which installed family draws instead.
//
// GUI thread only.

#include <QComboBox>

namespace tintreel {

class FontPopUp : public QComboBox {
    Q_OBJECT
public:
    explicit FontPopUp(QWidget* parent = nullptr);

    // Shows the choice of a settings record: the named family when there is
    // one, else the font list's family at `listIndex`.
    void setChoice(int listIndex, const QString& family);
    // The list index of the default choice (the catalogue's default).
    void setDefaultIndex(int listIndex) { defaultIndex_ = listIndex; }
    int listIndex() const { return listIndex_; }
    const QString& family() const { return family_; }
    // The family asked for (shown, without any mark).
    QString chosenFamily() const;
    // Which family draws instead of the chosen one; empty when it is installed.
    const QString& substitutionNote() const { return note_; }

Q_SIGNALS:
    void substitutionNoteChanged(const QString& note);

private:
    void choose(int item);
    void showChosen();

    int listIndex_ = 0;
    int defaultIndex_ = -1;
    QString family_;
    QString note_;
};

}  // namespace tintreel
