#include "catalogue/BuiltInProducts.h"

namespace BuiltInProducts {

const QStringList& Names() {
    static const QStringList names{
        QStringLiteral("Traffic Magnet Pro"),      QStringLiteral("List Building Blueprint"),
        QStringLiteral("Affiliate Cash Machine"),  QStringLiteral("Video Sales Secrets"),
        QStringLiteral("Email Profit Formula"),    QStringLiteral("Niche Site Builder"),
        QStringLiteral("Social Media Surge"),      QStringLiteral("Copywriting Mastery"),
        QStringLiteral("Product Launch Kit"),      QStringLiteral("Webinar Wealth"),
        QStringLiteral("SEO Rank Booster"),        QStringLiteral("Membership Site Profits"),
        QStringLiteral("Facebook Ads Decoded"),    QStringLiteral("Kindle Publishing Empire"),
        QStringLiteral("Local Marketing Toolkit"), QStringLiteral("Instant Squeeze Pages"),
        QStringLiteral("Blogging For Bucks"),      QStringLiteral("Outsourcing Made Easy"),
        QStringLiteral("Conversion Optimizer"),    QStringLiteral("Podcast Profit Plan"),
    };
    return names;
}

QString DownloadServerBase() {
    return QStringLiteral("https://downloads.example.com/dld/");
}

} // namespace BuiltInProducts
