#include "Links.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace quarrow::app::Links {

QString helpFolder() {
    const QString appDir = QCoreApplication::applicationDirPath();
    const QStringList candidates = {appDir + "/help", appDir + "/../share/quarrow/help",
                                    QStringLiteral(QUARROW_HELP_SOURCE_DIR)};
    for (const QString& dir : candidates) {
        if (QFileInfo::exists(dir + "/index.html")) {
            return QDir::cleanPath(dir);
        }
    }
    return {};
}

QUrl helpPageUrl(const char* page) {
    const QString text = QString::fromUtf8(page);
    const auto hash = text.indexOf('#');
    const QString file = hash < 0 ? text : text.left(hash);
    QUrl url = QUrl::fromLocalFile(helpFolder() + "/" + file);
    if (hash >= 0) {
        url.setFragment(text.mid(hash + 1));
    }
    return url;
}

QUrl feedbackMailUrl(const QString& text, const QString& replyAddress) {
    QUrl url;
    url.setScheme("mailto");
    url.setPath(QString::fromUtf8(kFeedbackRecipient));
    QString body = text;
    if (!replyAddress.trimmed().isEmpty()) {
        body += "\n\nReply to: " + replyAddress.trimmed();
    }
    // Every reserved character of the texts is escaped, so "&" or "=" typed by the user stays text.
    const QString query =
        "subject=" + QString::fromLatin1(QUrl::toPercentEncoding(QString::fromUtf8(kFeedbackSubject))) +
        "&body=" + QString::fromLatin1(QUrl::toPercentEncoding(body));
    url.setQuery(query, QUrl::StrictMode);
    return url;
}

} // namespace quarrow::app::Links
