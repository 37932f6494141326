#include "platform/AppKit/URLOpener.h"

#include <QDesktopServices>
#include <QUrl>

namespace {

URLOpener::Opener& installed() {
    static URLOpener::Opener opener;
    return opener;
}

}  // namespace

bool URLOpener::openURL(const std::string& url) {
    if (const auto& opener = installed()) return opener(url);
    return QDesktopServices::openUrl(QUrl(QString::fromStdString(url)));
}

void URLOpener::setOpener(Opener opener) {
    installed() = std::move(opener);
}
