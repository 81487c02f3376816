#include "AboutWindow.h"

#include "AppStyle.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace quarrow::app {

AboutWindow::AboutWindow(QWidget* parent) : QDialog(parent) {
    setObjectName("aboutWindow");
    setWindowTitle("About Quarrow");
    setFixedSize(400, 300);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(28, 24, 28, 20);
    layout->setSpacing(8);

    auto* logo = new QLabel(this);
    logo->setPixmap(imageNamed("logo", QSize(72, 72), devicePixelRatioF()));
    logo->setAlignment(Qt::AlignCenter);
    layout->addWidget(logo);

    auto* productlab = new QLabel("Quarrow", this);
    productlab->setObjectName("productlab");
    productlab->setFont(uiFont("Arial", 18, true));
    productlab->setAlignment(Qt::AlignCenter);
    layout->addWidget(productlab);

    const QString lines[] = {"Version " QUARROW_VERSION,
                             "Recovers notes from iOS device backups, existing and deleted.",
                             "Free software under the GNU General Public License, version 3 or later."};
    for (const QString& text : lines) {
        auto* label = new QLabel(text, this);
        label->setFont(uiFont("Arial", 12));
        label->setAlignment(Qt::AlignCenter);
        label->setWordWrap(true);
        layout->addWidget(label);
    }
    layout->addStretch(1);

    auto* links = new QHBoxLayout;
    links->addStretch(1);
    homeBtn_ = new QPushButton("Home Page", this);
    homeBtn_->setObjectName("homeBtn");
    supportBtn_ = new QPushButton("Support", this);
    supportBtn_->setObjectName("supportBtn");
    for (QPushButton* b : {homeBtn_, supportBtn_}) {
        b->setFont(uiFont("Arial", 12));
        styleAsLink(b, true);
        b->setFixedSize(b->sizeHint());
        links->addWidget(b);
        links->addSpacing(16);
    }
    links->addStretch(1);
    layout->addLayout(links);
}

} // namespace quarrow::app
