#include "ui/help_page.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QUrl>

namespace wg {

QString HelpPagePath() {
    const QString installed =
        QCoreApplication::applicationDirPath() + QStringLiteral("/../share/webgrubbler/help.html");
    return QFileInfo::exists(installed) ? QFileInfo(installed).canonicalFilePath()
                                        : QStringLiteral(WG_HELP_FILE);
}

std::string HelpPageUrl(std::string_view anchor) {
    QUrl url = QUrl::fromLocalFile(HelpPagePath());
    url.setFragment(QString::fromUtf8(anchor.data(), static_cast<qsizetype>(anchor.size())));
    return url.toString().toStdString();
}

}  // namespace wg
