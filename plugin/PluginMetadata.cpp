#include "plugin/PluginMetadata.h"

#include "plugin/PluginDetails.h"
#include "plugin/PluginNames.h"

#include <QRegularExpression>
#include <QStringList>

namespace {

// The directory shows at most 150 characters of the short description.
constexpr qsizetype kShortDescriptionLength = 150;

QString shortDescription(const PluginDetails& details) {
    QString text = PluginMetadata::HeaderDescription(details.description).simplified();
    if (text.isEmpty())
        return QStringLiteral("Sales and download pages of a sales funnel.");
    if (text.size() > kShortDescriptionLength) {
        text.truncate(kShortDescriptionLength - 1);
        const qsizetype space = text.lastIndexOf(QLatin1Char(' '));
        if (space > kShortDescriptionLength / 2)
            text.truncate(space);
        text += QChar(0x2026);
    }
    return text;
}

} // namespace

QString PluginMetadata::LicenseUri(const QString& license) {
    const QString name = license.trimmed();
    static const QStringList gpl2 = {QStringLiteral("GPL-2.0-or-later"), QStringLiteral("GPL-2.0-only"),
                                     QStringLiteral("GPL-2.0"), QStringLiteral("GPL-2.0+")};
    static const QStringList gpl3 = {QStringLiteral("GPL-3.0-or-later"), QStringLiteral("GPL-3.0-only"),
                                     QStringLiteral("GPL-3.0"), QStringLiteral("GPL-3.0+")};
    if (gpl2.contains(name, Qt::CaseInsensitive))
        return QStringLiteral("https://www.gnu.org/licenses/gpl-2.0.html");
    if (gpl3.contains(name, Qt::CaseInsensitive))
        return QStringLiteral("https://www.gnu.org/licenses/gpl-3.0.html");
    if (name.compare(QLatin1String("MIT"), Qt::CaseInsensitive) == 0)
        return QStringLiteral("https://opensource.org/licenses/MIT");
    return {};
}

QString PluginMetadata::HeaderDescription(const QString& description) {
    // WordPress reads one header field per line: a line break would start a field of its own.
    static const QRegularExpression lineBreak(
        QStringLiteral("\\r\\n|[\\n\\r\\v\\f\\x{85}\\x{2028}\\x{2029}]"));
    QString text = description;
    return text.replace(lineBreak, QStringLiteral(" "));
}

QString PluginMetadata::Contributor(const QString& author) {
    // wordpress.org user names are at most 50 characters (the profile's address) of a-z and 0-9.
    constexpr qsizetype kLength = 50;
    QString name;
    for (const QChar c : author.normalized(QString::NormalizationForm_KD).toLower())
        if ((c >= QLatin1Char('a') && c <= QLatin1Char('z')) ||
            (c >= QLatin1Char('0') && c <= QLatin1Char('9')))
            name += c;
    return name.left(kLength);
}

QString PluginMetadata::BuildPluginHeader(const PluginDetails& details) {
    const QList<QPair<QString, QString>> fields = {
        {QStringLiteral("Plugin Name"), details.name},
        {QStringLiteral("Plugin URI"), details.uri},
        {QStringLiteral("Description"), HeaderDescription(details.description)},
        {QStringLiteral("Version"), details.version},
        {QStringLiteral("Requires at least"), RequiresWordPress},
        {QStringLiteral("Requires PHP"), RequiresPhp},
        {QStringLiteral("Author"), details.author},
        {QStringLiteral("Author URI"), details.authorUrl},
        {QStringLiteral("License"), details.license},
        {QStringLiteral("License URI"), LicenseUri(details.license)},
        {QStringLiteral("Text Domain"), details.identifier},
        {QStringLiteral("Domain Path"), QStringLiteral("/languages")},
    };
    QStringList lines{QStringLiteral("<?php"), QStringLiteral("/**")};
    for (const auto& [field, value] : fields)
        if (!value.isEmpty())
            lines << QStringLiteral(" * %1 %2").arg(field + QLatin1Char(':'), -18).arg(value);
    lines << QStringLiteral(" */");
    return lines.join(QLatin1Char('\n'));
}

QString PluginMetadata::BuildReadme(const PluginDetails& details) {
    const QList<QPair<QString, QString>> fields = {
        {QStringLiteral("Contributors"), Contributor(details.author)},
        {QStringLiteral("Requires at least"), RequiresWordPress},
        {QStringLiteral("Tested up to"), TestedUpTo},
        {QStringLiteral("Requires PHP"), RequiresPhp},
        {QStringLiteral("Stable tag"), details.version},
        {QStringLiteral("License"), details.license},
        {QStringLiteral("License URI"), LicenseUri(details.license)},
    };
    QStringList lines{QStringLiteral("=== %1 ===").arg(details.name)};
    for (const auto& [field, value] : fields)
        if (!value.isEmpty())
            lines << field + QStringLiteral(": ") + value;
    lines << QString() << shortDescription(details) << QString() << QStringLiteral("== Description ==")
          << QString();
    if (details.description.trimmed().isEmpty())
        lines << QStringLiteral("Each funnel holds the sales page and the download page of every offer: a "
                                "front-end offer, its upsells and their downsells.");
    else
        lines << details.description.split(QRegularExpression(QStringLiteral("\\r\\n|\\r|\\n")));
    // Site owners must be able to tell their visitors what the plugin keeps about them.
    lines << QString() << QStringLiteral("== Statistics and privacy ==") << QString()
          << QStringLiteral(
                 "Each funnel's edit screen shows how often the sales page and the download page of every "
                 "item were viewed in the last 7 days, the last 30 days and all time, and the conversion "
                 "rate (download page views, that is purchases, per sales page view). With a payment "
                 "check, it also shows the verified orders and their revenue in each currency, and the "
                 "conversion rate counts verified orders instead.")
          << QString()
          << QStringLiteral(
                 "The plugin keeps one counter per funnel page and day in a table of its own. It "
                 "stores no IP address, no cookie and no user agent. A visitor's repeated views of a "
                 "page on one day count once: for that day only, the plugin keeps a keyed hash of the "
                 "visitor's address and the page, whose random key changes every day; the day's "
                 "hashes are deleted the next day, so no visitor can be recognised later. Views by "
                 "users who can edit the funnel, by bots and by browser prefetches are not counted. "
                 "Purchases are views of a download page, where the payment provider sends buyers; "
                 "no payment is verified unless the funnel's payment check is on, and views of one "
                 "download page from one network (an IPv4 /24, an IPv6 /64) count once a day. The "
                 "counters are removed with the funnel, or with the plugin when it is deleted.")
          << QString()
          << QStringLiteral(
                 "With a payment check (Stripe or PayPal), the plugin asks the payment provider to confirm "
                 "each payment before it shows the downloads, and keeps each confirmed payment as an order "
                 "in a table of its own: the provider, the provider's payment id, the item, the amount and "
                 "currency, the time and the buyer's email address as the provider gives it. The email "
                 "address is used only to send the buyer a personal link to the downloads. The buyer's "
                 "browser keeps a cookie of the order numbers it opened with such links, signed by the "
                 "site and holding nothing else, so that a later item's download page shows the earlier "
                 "items bought. For ten minutes after a checkout starts, a keyed hash of the visitor's "
                 "network address is kept to limit checkouts per visitor, then blanked. Orders are kept "
                 "until their funnel is deleted, or the plugin with it. WordPress's personal data tools "
                 "(Tools, Export Personal Data and Erase Personal Data) find a buyer's orders by their "
                 "email address and export them; erasing removes the address and keeps each order's "
                 "item, amount and date for the seller's records. After the front end is bought, "
                 "a visit record takes the buyer through the funnel's offers: it holds the road taken, the "
                 "orders made and the provider's customer and saved payment method, which one-click offers "
                 "charge. A visit ends after a set time without a step (60 minutes unless the seller "
                 "changes it); its end gives the saved method back to the provider and mails the buyer "
                 "once. Erasing also removes the provider's customer from the buyer's visits.")
          << QString() << QStringLiteral("== Sales copy ==") << QString()
          << QStringLiteral(
                 "Each item's sales page can carry sales copy written in the block editor: the item's box on "
                 "the funnel's edit screen has \"Edit sales copy\", and the \"Sales page\" pattern category "
                 "offers eight ready-made sections. The copy stands between the product image and the buy "
                 "button; its excerpt is the page's description for search engines and social sites. An "
                 "empty copy leaves the page as it was. Copies are private to those who may edit their "
                 "funnel, and are deleted with it.")
          << QString() << QStringLiteral("== Split tests ==") << QString()
          << QStringLiteral(
                 "A funnel's edit screen can test an item's sales page against up to three versions of it, "
                 "each changing the page title, the headline, the image or, with a payment check, the price, "
                 "each with its share of visitors. The version a visitor sees follows from a keyed hash of a "
                 "random visitor id, so they see the same version whenever they return, and a buyer the "
                 "same version through every offer of a visit. The id is kept in a first-party cookie, %1, "
                 "that holds nothing else, is set only on the sales page of an item under test and lasts "
                 "180 days. While a test runs, the plugin keeps a keyed hash of each counted visitor's id, "
                 "so that a visitor counts once; the hashes are deleted when the test ends. A test's "
                 "figures are daily totals per version (visitors, conversions and revenue); an ended "
                 "test's totals stay in the item's history until the seller deletes them. Bots, browser "
                 "prefetches and users who can edit the funnel are never counted and see the page as it "
                 "is.")
                 .arg(PluginNames::For(details.identifier).functionPrefix + QStringLiteral("visitor"))
          << QString();
    return lines.join(QLatin1Char('\n'));
}
