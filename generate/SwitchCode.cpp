#include "generate/SwitchCode.h"

#include <QStringList>

QString SwitchEntry(int slot, const QString& token, bool isDownload) {
    const QString n = QString::number(slot);
    const QString meta = QStringLiteral("get_post_meta( $post->ID,  $prefix . 'funnelitem_%1_%2', true );");
    QStringList lines{
        QStringLiteral("case \"%1\":").arg(token),
        QString(),
        QStringLiteral("$payment_button = ") + meta.arg(n, QStringLiteral("code")),
    };
    if (isDownload) {
        lines << QStringLiteral("  include __DIR__ . '/download-funnelitem-%1.php';").arg(n);
    } else {
        lines << QStringLiteral("$page_title = ") + meta.arg(n, QStringLiteral("pagetitle"))
              << QStringLiteral("$headline = ") + meta.arg(QStringLiteral("0"), QStringLiteral("headline"))
              << QStringLiteral("  include __DIR__ . '/salespage-funnelitem-%1.php';").arg(n);
    }
    lines << QStringLiteral("break;") << QString();

    QString block;
    for (const QString& line : std::as_const(lines))
        block += line + QStringLiteral("\r\n");
    return block;
}

void AddSwitchEntry(QString& txtSwitchEntries, int slot, const QString& token, bool isDownload) {
    txtSwitchEntries += SwitchEntry(slot, token, isDownload);
}
