#pragma once

#include <QColor>
#include <QFont>
#include <QIcon>
#include <QPixmap>
#include <QString>

class QApplication;
class QLabel;
class QWidget;

namespace quarrow::app {

// The warm red of the notes line and the filter box (217, 81, 30).
inline const QColor kAccentColor(217, 81, 30);
inline const QColor kLinkColor(36, 99, 175);
inline const QColor kInkColor(38, 47, 59);
inline const QColor kMutedColor(104, 116, 132);

// A font of the given family at a size given in the window's points. The families named for the
// interface ("Lucida Grande", "Arial") fall back to installed look-alikes through substitutions.
QFont uiFont(const QString& family, int points, bool bold = false);
QFont systemFont(int points, bool bold = false);

// An image of the application's own set, by its name ("iphone", "noteOn", "phone&videoNom", ...),
// drawn from SVG at the requested size in device pixels of the widget's screen.
QPixmap imageNamed(const QString& name, const QSize& size, qreal devicePixelRatio = 1.0);
QIcon iconNamed(const QString& name);

// Fusion style, a light palette and the font substitutions.
void installAppStyle(QApplication& app);

// A label-like button drawn as a link (no border, blue, optionally underlined).
void styleAsLink(QWidget* widget, bool underlined);

// A plain-text label with an object name (the name the widget tests find it by).
QLabel* textLabel(QWidget* parent, const char* name, const QString& text, const QFont& font);
// An image of the application's set, scaled into the rectangle, behind the parent's other children.
QLabel* backgroundImage(QWidget* parent, const QString& image, const QRect& rect);

} // namespace quarrow::app
