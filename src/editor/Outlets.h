#pragma once
// Outlets: the window's controls by outlet name (each widget's objectName),
// so code and tests reach every control the same way.
//
// Does not own the widgets: the window's widget tree does. GUI thread only.

#include <QHash>
#include <QString>
#include <QWidget>
#include <cstdlib>
#include <string_view>

#include "platform/system/QtText.h"

namespace tintreel {

class Outlets {
public:
    // Registers `widget` under its objectName.
    template <typename W>
    W* add(W* widget, std::string_view name) {
        widget->setObjectName(qstring(name));
        widgets_.insert(widget->objectName(), widget);
        return widget;
    }

    // The outlet, or null when there is none of that name.
    QWidget* find(std::string_view name) const { return widgets_.value(qstring(name)); }

    // The outlet as its widget type. A name that is missing or of another
    // type is a fault of the program, not of its input: it ends the process
    // with the name, in every build, rather than hand back a null pointer.
    template <typename W>
    W* get(std::string_view name) const {
        QWidget* widget = find(name);
        auto* typed = qobject_cast<W*>(widget);
        if (!typed) fail(name, W::staticMetaObject.className(), widget);
        return typed;
    }

    qsizetype count() const { return widgets_.size(); }
    QList<QWidget*> all() const { return widgets_.values(); }

private:
    [[noreturn]] static void fail(std::string_view name, const char* wanted, const QWidget* found) {
        const QString message =
            found
                ? QStringLiteral("Outlets: \"%1\" is a %2, not a %3")
                      .arg(qstring(name), found->metaObject()->className(), wanted)
                : QStringLiteral("Outlets: no control named \"%1\" (wanted a %2)").arg(qstring(name), wanted);
        qFatal("%s", qPrintable(message));
        std::abort();  // qFatal has already ended the process; this tells the compiler so
    }

    QHash<QString, QWidget*> widgets_;
};

}  // namespace tintreel
