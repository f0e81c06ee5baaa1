#include "editor/FontPopUp.h"

#include "imaging/FontChoice.h"
#include "imaging/FontFamilies.h"

namespace tintreel {
namespace {

// Items carry the family's own name; the title may add the missing mark.
constexpr int kFamilyRole = Qt::UserRole;

}  // namespace

FontPopUp::FontPopUp(QWidget* parent) : QComboBox(parent) {
    for (const std::string& family : installedFontFamilies()) {
        const QString name = QString::fromStdString(family);
        addItem(name, name);
    }
    // Connected before anyone else, so the choice is current when the
    // controller hears of it.
    connect(this, &QComboBox::activated, this, &FontPopUp::choose);
}

QString FontPopUp::chosenFamily() const {
    return QString::fromStdString(std::string(chosenFontFamily(listIndex_, family_.toStdString())));
}

void FontPopUp::setChoice(int listIndex, const QString& family) {
    listIndex_ = listIndex;
    family_ = family;
    showChosen();
}

// A family of the font list is kept as its index; any other by its name,
// with the index left for readers that know only the list.
void FontPopUp::choose(int item) {
    const QString picked = itemData(item, kFamilyRole).toString();
    const int index = fontFamilyIndex(picked.toStdString());
    if (index >= 0) listIndex_ = index;
    family_ = index >= 0 ? QString() : picked;
    showChosen();
}

void FontPopUp::showChosen() {
    QString family = chosenFamily();
    std::optional<std::string> note = fontSubstitutionNote(family.toStdString());
    // The default the user never chose stands for what draws in its place.
    if (note && family_.isEmpty() && listIndex_ == defaultIndex_) {
        family = QString::fromStdString(drawnFontFamily(family.toStdString()));
        note.reset();
    }
    int item = findData(family, kFamilyRole);
    if (item < 0) {
        // Marked once and kept in the list, so the user can come back to it.
        insertItem(0, family + (note ? tr(" (missing)") : QString()), family);
        item = 0;
    }
    setCurrentIndex(item);
    const QString newNote = note ? QString::fromStdString(*note) : QString();
    if (newNote == note_) return;
    note_ = newNote;
    Q_EMIT substitutionNoteChanged(note_);
}

}  // namespace tintreel
