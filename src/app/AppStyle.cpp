#include "AppStyle.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFile>
#include <QFontDatabase>
#include <QLabel>
#include <QPainter>
#include <QPalette>
#include <QStyle>
#include <QStyleFactory>
#include <QSvgRenderer>

#include <cmath>

// The images live in a static library, whose resource registration nothing would pull in.
static void initQuarrowResources() {
    Q_INIT_RESOURCE(quarrow);
}

namespace quarrow::app {

namespace {

// Sizes are given in the points of the window layout (one point, one pixel at scale 1); text set at
// that pixel size matches the layout whatever the screen's logical dots per inch.
constexpr double kPointToPixel = 1.1;

QString resourcePathFor(const QString& name) {
    QString file = name;
    file.replace("phone&video", "photoVideo");
    return ":/images/" + file + ".svg";
}

} // namespace

QFont uiFont(const QString& family, int points, bool bold) {
    QFont font(family);
    font.setPixelSize(static_cast<int>(std::lround(points * kPointToPixel)));
    font.setBold(bold);
    return font;
}

QFont systemFont(int points, bool bold) {
    QFont font = QApplication::font();
    font.setPixelSize(static_cast<int>(std::lround(points * kPointToPixel)));
    font.setBold(bold);
    return font;
}

QPixmap imageNamed(const QString& name, const QSize& size, qreal devicePixelRatio) {
    QSvgRenderer renderer(resourcePathFor(name));
    if (!renderer.isValid() || size.isEmpty()) {
        return {};
    }
    QPixmap pixmap(size * devicePixelRatio);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    renderer.render(&painter);
    painter.end();
    pixmap.setDevicePixelRatio(devicePixelRatio);
    return pixmap;
}

QIcon iconNamed(const QString& name) {
    QIcon icon;
    for (int side : {16, 24, 32, 48, 64, 96}) {
        icon.addPixmap(imageNamed(name, QSize(side, side)));
    }
    return icon;
}

void installAppStyle(QApplication& app) {
    initQuarrowResources();
    QFont::insertSubstitutions("Lucida Grande", {"Lucida Sans", "DejaVu Sans", "Liberation Sans", "Noto Sans"});
    QFont::insertSubstitutions("Arial", {"Liberation Sans", "Arimo", "DejaVu Sans", "Noto Sans"});
    app.setStyle(QStyleFactory::create("Fusion"));

    QPalette p = app.style()->standardPalette();
    p.setColor(QPalette::Window, QColor(244, 246, 249));
    p.setColor(QPalette::WindowText, kInkColor);
    p.setColor(QPalette::Base, Qt::white);
    p.setColor(QPalette::AlternateBase, QColor(246, 248, 251));
    p.setColor(QPalette::Text, kInkColor);
    p.setColor(QPalette::Button, QColor(250, 251, 253));
    p.setColor(QPalette::ButtonText, kInkColor);
    p.setColor(QPalette::Highlight, QColor(47, 111, 181));
    p.setColor(QPalette::HighlightedText, Qt::white);
    p.setColor(QPalette::Link, kLinkColor);
    p.setColor(QPalette::ToolTipBase, Qt::white);
    p.setColor(QPalette::ToolTipText, kInkColor);
    p.setColor(QPalette::Disabled, QPalette::ButtonText, QColor(160, 168, 178));
    p.setColor(QPalette::Disabled, QPalette::WindowText, QColor(160, 168, 178));
    p.setColor(QPalette::Disabled, QPalette::Text, QColor(160, 168, 178));
    app.setPalette(p);

    QFont base = uiFont("Lucida Grande", 11);
    app.setFont(base);
    app.setWindowIcon(iconNamed("logo"));
}

void styleAsLink(QWidget* widget, bool underlined) {
    auto* button = qobject_cast<QAbstractButton*>(widget);
    if (!button) {
        return;
    }
    QFont f = button->font();
    f.setUnderline(underlined);
    button->setFont(f);
    button->setCursor(Qt::PointingHandCursor);
    button->setStyleSheet(QStringLiteral("QAbstractButton { border: none; background: transparent; color: %1;"
                                         " padding: 0px; text-align: left; }"
                                         "QAbstractButton:disabled { color: #a0a8b2; }")
                              .arg(kLinkColor.name()));
}

QLabel* textLabel(QWidget* parent, const char* name, const QString& text, const QFont& font) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(name);
    label->setFont(font);
    label->setTextFormat(Qt::PlainText);
    return label;
}

QLabel* backgroundImage(QWidget* parent, const QString& image, const QRect& rect) {
    auto* label = new QLabel(parent);
    label->setGeometry(rect);
    label->setPixmap(imageNamed(image, rect.size(), parent->devicePixelRatioF()));
    label->setScaledContents(true);
    label->lower();
    return label;
}

} // namespace quarrow::app
