#include "panels/WindowPlacement.h"

#include <QPalette>
#include <QWidget>
#include <algorithm>

#include "render/DialogUnits.h"
#include "render/TextDraw.h"

void ShowTopmostAt(QWidget& window, const QRect& rect) {
    const QRect bounded(rect.topLeft(), QSize(std::max(0, rect.width()), std::max(0, rect.height())));
    if (bounded.isEmpty()) {
        window.hide();
        window.move(bounded.topLeft());
        return;
    }
    window.setGeometry(bounded);
    window.show();
    window.raise();
}

void StyleAsDialog(QWidget& window) {
    QPalette colours = window.palette();
    for (QPalette::ColorRole role : {QPalette::Window, QPalette::Base, QPalette::Button})
        colours.setColor(role, Qt::black);
    for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        colours.setColor(role, Qt::white);
    window.setPalette(colours);
    window.setAutoFillBackground(true);
    window.setFont(PlayerFont(kDialogFontPixels));
}
