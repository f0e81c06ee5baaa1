#pragma once
// Outlets: the window's controls by outlet name (each widget's objectName),
// so code and tests reach every control the same way.
//
// Does not own the widgets: the window's widget tree does. GUI thread only.

#include <QHash>
#include <QString>
#include <QWidget>
#include <string_view>

namespace tintreel {

class Outlets {
public:
    // Registers `widget` under its objectName.
    template <typename W>
    W* add(W* widget, std::string_view name) {
        widget->setObjectName(QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size())));
        widgets_.insert(widget->objectName(), widget);
        return widget;
    }

    QWidget* find(std::string_view name) const {
        return widgets_.value(QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size())));
    }

    // The outlet as its widget type; the name must exist with that type.
    template <typename W>
    W* get(std::string_view name) const {
        auto* widget = qobject_cast<W*>(find(name));
        Q_ASSERT_X(widget, "Outlets::get", name.data());
        return widget;
    }

    qsizetype count() const { return widgets_.size(); }
    QList<QWidget*> all() const { return widgets_.values(); }

private:
    QHash<QString, QWidget*> widgets_;
};

}  // namespace tintreel
