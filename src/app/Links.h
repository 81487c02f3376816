#pragma once

#include <QString>
#include <QUrl>

// Every address the application opens, in one place. The product's pages are help pages that ship
// with the application (docs/help, copied beside the binary as help/ and installed under
// share/quarrow/help); they open in the user's browser. No page lives on a web server.
namespace quarrow::app::Links {

// Page names inside the help folder, with an optional fragment.
inline constexpr const char* kHomePage = "index.html";                   // ClickHomePage, the about window
inline constexpr const char* kRecoveryGuidePage = "guide.html#recovery"; // the backup list's help button
inline constexpr const char* kGuidePage = "guide.html#audiobooks";       // ClickHelp, first start
inline constexpr const char* kResourcePage = "resources.html";           // ClickLearnMore
inline constexpr const char* kSupportPage = "support.html";              // clickSupport, the about window
inline constexpr const char* kFacebookPage = "community.html#facebook";  // clickFacebook
inline constexpr const char* kTwitterPage = "community.html#twitter";    // clickTwitter

// Feedback goes through the user's own mail client. The project has no public feedback mailbox,
// so the recipient is left for the user to fill in.
inline constexpr const char* kFeedbackRecipient = "";
inline constexpr const char* kFeedbackSubject = "Quarrow feedback";

// The folder holding the help pages: beside the binary, then the installed share folder, then the
// source tree (for a build run from its build folder). Empty when none exists.
QString helpFolder();
// A file URL for a page name such as kSupportPage (fragment kept).
QUrl helpPageUrl(const char* page);
// The mailto: link that hands a feedback text to the mail client.
QUrl feedbackMailUrl(const QString& text, const QString& replyAddress);

} // namespace quarrow::app::Links
